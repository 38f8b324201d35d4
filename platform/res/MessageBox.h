// The prompt service: message boxes with the flags and answers of Windows.
//
// Who answers is replaceable: the program installs a windowed answerer, tests
// install a scripted one (CScriptedAnswerer). With none installed a prompt is
// written to stderr and answered with its default button, so a program
// without a display never waits on one. Any thread may prompt and install;
// an answerer is kept alive by every prompt it is answering.
#pragma once

#include <memory>

#include "platform/win/WinTypes.h"

// Buttons (the low four bits of the flags).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_TYPEMASK = 0xF;
// Icons.
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONSTOP = MB_ICONERROR;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;
// Which button answers when the user just confirms.
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IPromptAnswerer {
public:
    virtual ~IPromptAnswerer() = default;
    // Shows one prompt and returns the button chosen. Called on the thread
    // that prompted; text and caption are never null.
    virtual int Answer(HWND owner, const char* text, const char* caption, UINT flags) = 0;
};

// Installs the answerer of every later prompt and returns the one it
// replaces; null goes back to the stderr default.
std::shared_ptr<IPromptAnswerer> SetPromptAnswerer(std::shared_ptr<IPromptAnswerer> answerer);

// Installs an answerer for as long as the scope lives, then puts back the one before.
class CPromptAnswererScope {
public:
    explicit CPromptAnswererScope(std::shared_ptr<IPromptAnswerer> answerer)
        : m_previous(SetPromptAnswerer(std::move(answerer)))
    {
    }
    ~CPromptAnswererScope() { SetPromptAnswerer(std::move(m_previous)); }
    CPromptAnswererScope(const CPromptAnswererScope&) = delete;
    CPromptAnswererScope& operator=(const CPromptAnswererScope&) = delete;

private:
    std::shared_ptr<IPromptAnswerer> m_previous;
};

// The button that answers a prompt of these flags when the user just
// confirms: the default button when the box has it, else the first. 0 for a
// button set this service does not offer.
int DefaultPromptAnswer(UINT flags);

// Shows a prompt and returns the answer. A null caption is "Error", as on Windows.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);

// A prompt captioned with the program's name ("ProductName" of its version block).
int AfxMessageBox(LPCSTR text, UINT flags = MB_OK);
// The same with the text of string `textId` of the resource module (empty when missing).
int AfxMessageBox(UINT textId, UINT flags = MB_OK);
