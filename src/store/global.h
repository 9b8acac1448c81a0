#pragma once

#include "basedatos.h"

#include <QString>

#include <array>
#include <functional>
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

// The equivalence surcharge the law sets beside a VAT rate (21 % -> 5,2; 10 % -> 1,4;
// 4 % -> 0,5); 0 for a rate without one.
float RecargoLegal(float iva);

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
// The KV740 folder proposed on the first run: the demo beside the program, a shared installation
// (/srv/kv740, /opt/kv740, ~/kv740) holding KV740.INI, or else the user's home folder.
QString CarpetaKV740Propuesta();
// Reads the settings file; answers why it was not read whole (empty when it was), in which
// case it is never rewritten and nothing chosen in this session can be kept.
QString LeerConfiguracion();
void LeerConfiguracionKV740();
// Writes the settings file; answers why it could not (empty when saved).
QString GuardarConfiguracion();
// Window positions in twips (Left, Top, Width, Height) under the window's name.
std::optional<std::array<int, 4>> LeerPosicionVentana(const QString& nombre);
void GuardarPosicionVentana(const QString& nombre, const std::array<int, 4>& posicion);

// Replaces the data store by a new one on Global::RutaBaseDatos (the old one closes first).
void AbrirBaseDatos();

// Makes the database at `ruta` ready for the program: opened, holding the KV740 tables, the
// program's tables created or brought up to date in one transaction. Null when it cannot be
// made ready, with `motivo` saying in Spanish what is wrong with which file; nothing changed.
std::unique_ptr<BaseDatos> PrepararBaseDatos(const QString& ruta, QString& motivo);
// Tests use it to act between opening and upgrading.
inline std::function<void(BaseDatos&)> AntesDeActualizarBaseDatos;

// Why the run-wide database path names no database: KV740.INI missing in HomeDir or without
// "BaseDatos"; empty when a path is known.
QString MotivoSinBaseDatos();

// In Spanish, what an engine failure with SQLite's code `codigo` says about the file `ruta`.
QString MotivoErrorBaseDatos(const QString& ruta, int codigo, const QString& mensaje);
