// How a pointer step destroys an element object it holds when the step itself
// goes away. There is deliberately no general definition: each element type
// that pointer steps carry specializes this beside its own declaration with
// its destroy operation (a channel releases its synths, a pattern its clip, a
// plug-in wrapper unloads its instance), so a missing one fails to compile
// rather than falling back to a plain delete.
//
//   template <> struct CUndoPtrTraits<CFoo> {
//       static void Destroy(CFoo* p) { DestroyFoo(p); }
//   };
#pragma once

template <class T>
struct CUndoPtrTraits;
