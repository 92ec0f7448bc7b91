#pragma once

#include <QString>

// The file-open dialogs the operator meets: product manuals and firmware images.
namespace uisr {

// Lets the operator pick a product manual (a PDF file) and opens it in the system's viewer.
void openpdffile();
// Lets the operator pick a firmware image; the chosen file's path, or empty when cancelled.
[[nodiscard]] QString openbinfile();

} // namespace uisr
