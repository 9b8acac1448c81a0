#pragma once

#include "motormascaras.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Listado;
class QWidget;

// The printer dialog of the screens that print one document: the copies asked for, or no
// value when the user cancelled. The chosen printer becomes the program's current printer.
std::optional<int> PedirCopias(QWidget* padre);
// A new print engine for one document run.
std::unique_ptr<MotorMascaras> NuevoMotorMascaras();

// Tests replace the dialog and the engine; each setter returns the previous one.
using DialogoCopias = std::function<std::optional<int>(QWidget* padre)>;
DialogoCopias FijarDialogoCopias(DialogoCopias dialogo);
using FabricaMotor = std::function<std::unique_ptr<MotorMascaras>()>;
FabricaMotor FijarFabricaMotor(FabricaMotor fabrica);

// Runs a browser's listing (its preview window); tests look at the listing instead.
void EjecutarListado(Listado& listado, QWidget* padre);
using EjecutorListado = std::function<void(Listado& listado, QWidget* padre)>;
EjecutorListado FijarEjecutorListado(EjecutorListado ejecutor);
