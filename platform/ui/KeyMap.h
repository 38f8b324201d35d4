// Qt's key codes to the virtual keys the framework code compares with.
// Inside the window layer only.
#pragma once

namespace mvui {
// 0 for a key without a virtual-key code.
int VirtualKeyFromQt(int qtKey);
}
