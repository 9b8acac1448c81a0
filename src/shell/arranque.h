#pragma once

#include <memory>

class MainMDI;

// The start-up routine: settings, database (with the configuration dialog until it opens or
// the user gives up), the working group, the schema upgrade and the main window. Returns the
// main window, or null when the program must end (cancelled, or the upgrade failed).
std::unique_ptr<MainMDI> Arrancar();

// Qt's own dialogs and buttons in Spanish; false when the translation is not installed.
bool CargarTraduccionQt();
