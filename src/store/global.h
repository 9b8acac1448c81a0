#pragma once

#include "basedatos.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

// The run-wide state: read at start-up and by the configuration dialog, read everywhere.
namespace Global {

inline QString HomeDir;
inline QString RutaBaseDatos;
inline qint16 Grupo = 0;
inline qint16 Precio = 0;
inline bool IVADesglosado = false;
inline std::unique_ptr<BaseDatos> BD;
inline qint16 Seccion = 0;
inline qint16 Tarifa = 0;
inline qint32 Almacen = 0;
inline TablaDepartamentos IVADepartamento{};
inline TablaDepartamentos RecargoEquivalencia{};
inline QString NombreEmpresa;
inline double TwipsPorPixelX = 15;
inline double TwipsPorPixelY = 15;

// Where the program's own files live: its settings file is <DirectorioPrograma>/<NombrePrograma>.ini.
inline QString DirectorioPrograma;
inline QString NombrePrograma = QStringLiteral("Quenza");

// Back to the state of a program that has not started (tests use it).
void Reiniciar();

}  // namespace Global

// Settings files.
QString RutaConfiguracion();
// A file that ships with the program (a print mask, a listing definition): a copy beside the
// settings file wins, so that a shop edits its own copy (the user's configuration folder when
// installed); then beside the program; then the installed data folder (share/quenza).
// Empty when it is nowhere.
QString BuscarArchivoPrograma(const QString& nombre);
// The folder that holds the mask `mascara` ("mskAlba.txt"); the settings file's folder when
// it is nowhere, so that the failure names where the user should put it.
QString CarpetaMascaras(const QString& mascara);
void LeerConfiguracion();
void LeerConfiguracionKV740();
void GuardarConfiguracion();
// Window positions in twips (Left, Top, Width, Height) under the window's name.
std::optional<std::array<int, 4>> LeerPosicionVentana(const QString& nombre);
void GuardarPosicionVentana(const QString& nombre, const std::array<int, 4>& posicion);

// Replaces the data store by a new one on Global::RutaBaseDatos (the old one closes first).
void AbrirBaseDatos();
