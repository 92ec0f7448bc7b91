#pragma once

// Opening the product manuals: PDF files the operator picks, shown in the system's viewer.
namespace uisr {

void openpdffile();

} // namespace uisr
