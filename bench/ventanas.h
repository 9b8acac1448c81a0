#pragma once

// The main of a benchmark that needs an application: offscreen unless a display is asked for.

#include "global.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>

// Runs the benchmarks the command line names. `alTerminar` closes what they left open, before
// the application and the store go. With `carpetaTemporal` the program's folder is a temporary
// one: windows that store their place on closing do not write beside whoever runs them.
inline int EjecutarBenchmarks(int argc, char** argv, const std::function<void()>& alTerminar = {}, bool carpetaTemporal = false)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programa;
    if (carpetaTemporal)
        Global::DirectorioPrograma = programa.path();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (alTerminar)
        alTerminar();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Global::BD.reset();
    return 0;
}
