// How every edit of the model is made: create the step, run it once, and hand
// it to the open command, or, when there is none, keep the change without
// undo. On any failure the step is deleted, the open command is aborted (its
// earlier steps undone) and the failing HRESULT is thrown as a
// CHResultException for the operation that began the command to catch.
//
//   SubmitUndoStep<CUndoInsertStep<int, CTempo>>(command, map, index, tempo);
//
// A pointer handed to a pointer step stays with the caller when the
// submission fails: it is destroyed only by a step that really took it out of
// its container.
#pragma once

#include <new>
#include <utility>

#include "model/CCommand.h"
#include "model/CHResultException.h"

namespace undo_detail {

template <class F>
HRESULT RunGuarded(F&& f)
{
    try {
        return f();
    } catch (const CHResultException& e) {
        return e.Code();
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace undo_detail

template <class Step, class... Args>
void SubmitUndoStep(CCommand* command, Args&&... args)
{
    Step* step = nullptr;
    try {
        step = new Step(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        throw CHResultException(E_OUTOFMEMORY);
    } catch (const CHResultException&) {
        throw;
    } catch (...) {
        throw CHResultException(E_FAIL);
    }

    HRESULT hr = undo_detail::RunGuarded([&] { return step->Do(); });
    if (FAILED(hr)) {
        delete step;
        if (command != nullptr)
            command->Abort();
        throw CHResultException(hr);
    }
    if (command == nullptr) {
        // Applied without undo: a removed or replaced element object that the
        // step now holds is destroyed with it.
        delete step;
        return;
    }
    hr = undo_detail::RunGuarded([&] { return command->AddStep(step); });
    if (FAILED(hr)) {
        // The change was made but cannot be recorded: take it back, so the
        // model never keeps an edit that no command can undo.
        if (SUCCEEDED(undo_detail::RunGuarded([&] { return step->Undo(); })))
            step->ReturnToSubmitter();
        delete step;
        command->Abort();
        throw CHResultException(hr);
    }
}
