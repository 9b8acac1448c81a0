#pragma once

// Shared by the test folders: a Qt application object, temporary folders and KV740 databases
// built by the same builder the demo tool uses.

#include "kv740.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

inline QApplication* AplicacionDePrueba()
{
    static int argc = 1;
    static char nombre[] = "pruebas";
    static char* argv[] = {nombre, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        return a;
    }();
    return app;
}

// A KV740 demo database in its own temporary folder (with KV740.INI).
struct BaseDePrueba {
    QTemporaryDir carpeta;
    QString ruta;

    explicit BaseDePrueba(const kv740::Opciones& opciones = {})
    {
        ruta = kv740::CrearDemo(carpeta.path(), opciones);
    }
    QString dir() const { return carpeta.path(); }
};
