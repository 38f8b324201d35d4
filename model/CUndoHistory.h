// The process-wide list of the most recent committed commands, oldest first.
// The first "done count" of them are done; the ones after are undone and can
// be redone until the next commit cuts them off. The history owns its
// commands and deletes them when they are cut off, pushed out past the
// capacity, trimmed or cleared (deleting a command destroys the element
// objects its steps still hold).
//
// Positions as the history dialog lists them: index 0 is the newest command;
// the position is count - done count (0: everything done, count: everything
// undone).
//
// UI thread only; no lock.
#pragma once

#include <vector>

#include "model/CCommand.h"
#include "model/IHistoryDocument.h"
#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CUndoHistory {
public:
    static constexpr int kInitialLevels = 16;

    CUndoHistory();
    CUndoHistory(const CUndoHistory&) = delete;
    CUndoHistory& operator=(const CUndoHistory&) = delete;
    // Does not delete the commands: their owner clears the history first,
    // while the objects their steps hold can still be destroyed safely.
    virtual ~CUndoHistory();

    // The one history of the program, built on first use.
    static CUndoHistory& Instance();

    // The application's document, or null; only it is told of changes.
    void SetDocument(IHistoryDocument* document) { m_document = document; }

    // Sets the capacity; removes nothing. A negative depth counts as 0.
    void SetMaxLevels(int levels);
    // The settings value "UndoDepth" of the profile's "Options" section, 64
    // when it is not set: the capacity the program runs with after start-up.
    static int GetProfileUndoDepth();
    void SetMaxLevelsFromProfile() { SetMaxLevels(GetProfileUndoDepth()); }
    int GetMaxLevels() const { return m_capacity; }

    HRESULT AddCommand(CCommand* command);
    HRESULT RemoveOldest();

    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < Count(); }
    // S_FALSE when there is nothing to undo (redo). A command that fails
    // stays where it was and the views are not updated.
    HRESULT Undo(DWORD* hint = nullptr);
    HRESULT Redo(DWORD* hint = nullptr);

    // "&Undo <name>\tCtrl-Z" and "&Redo <name>\tCtrl-Shift-Z"; the text stays
    // valid until the next call that hands out a text.
    const char* GetUndoMenuText();
    const char* GetRedoMenuText();
    // Newest first; "err" outside 0..count-1.
    const char* GetCommandName(int index);
    HRESULT GetPosition(int* position) const;
    HRESULT GetCount(int* count) const;
    // Undoes or redoes one command after the other until the position is the
    // target; the hints of every command walked are OR-ed into *hints. When a
    // command fails, the commands already walked are walked back, so the
    // history ends where it started, and the failure is returned.
    HRESULT GoToPosition(int target, DWORD* hints = nullptr);
    // Sets the capacity, removing the oldest commands beyond it.
    HRESULT TrimToLevels(int levels);
    HRESULT Clear();
    HRESULT Disable() { return Clear(); }

private:
    int Count() const { return static_cast<int>(m_commands.size()); }
    int Position() const { return Count() - m_done; }
    void ReserveFor(int levels);
    void Notify(const CCommand& command, bool updateViews);
    const char* FormatMenuText(const char* format, const CCommand* command);

    std::vector<CCommand*> m_commands;
    int m_done = 0;
    int m_capacity = kInitialLevels;
    CString m_text;
    IHistoryDocument* m_document = nullptr;
};
