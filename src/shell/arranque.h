#pragma once

#include <QLocale>

#include <memory>

class MainMDI;

// The start-up routine: settings, database (with the configuration dialog, saying what is wrong,
// until a database is ready or the user gives up), the working group, the schema upgrade and the
// main window. Returns the main window, or null when the user gave up.
std::unique_ptr<MainMDI> Arrancar();

// The locale the program runs in: the system's, or Spanish (Spain) when the system has none.
QLocale LocalDelPrograma(const QLocale& sistema);

// Qt's own dialogs and buttons in Spanish; false when the translation is not installed.
bool CargarTraduccionQt();
