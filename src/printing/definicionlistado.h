#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A listing definition as read from its .lst file (the format is described at the top of
// every shipped file and in data/LISTADOS.md). Reading checks the shape of the file only;
// whether the query and its columns fit the database is checked when the listing runs.

enum class Alineacion { Izquierda, Centro, Derecha };

struct ColumnaListado {
    QString titulo;
    QString campo;     // a column of the query's rows
    QString formato;   // old-style format string; empty writes the value as it is
    double ancho = 0;  // millimetres
    Alineacion alineacion = Alineacion::Izquierda;
    bool suma = false; // added up per group and in the grand total
    int linea = 0;     // where it was written, for messages
};

// A condition that applies only when a formula was given (or has a given value).
struct CondicionListado {
    QString formula;
    std::optional<QString> valor;  // "SelPend=1": only when the formula is 1
    QString sql;                   // store dialect, with @formula placeholders
    bool sobreFilas = false;       // on the query's finished rows, not at its @DONDE
    int linea = 0;
};

// A named value read from the database before the run ("dato Nombre: select ...").
struct DatoListado {
    QString nombre;
    QString sql;
    int linea = 0;
};

struct DefinicionListado {
    QString archivo;  // the file it came from, for messages
    QString titulo;
    bool horizontal = false;
    QString consulta;
    int lineaConsulta = 0;
    // The same rows written for a database on a server, when it has a faster way to them.
    QString consultaServidor;
    int lineaConsultaServidor = 0;
    std::vector<CondicionListado> condiciones;
    QStringList orden;
    int lineaOrden = 0;
    std::vector<DatoListado> datos;
    QString filtro;              // second line of the page head (template)
    QString grupo;               // column the rows are grouped on; empty for none
    QString formatoGrupo;        // values that format alike fall in one group ("yyyymm")
    int lineaGrupo = 0;
    QString cabeceraGrupo;       // templates
    QString pieGrupo;
    QString pieTotal;
    QString vacio;
    std::vector<ColumnaListado> columnas;
};

// Reads a definition; on failure returns nothing and `error` says, in Spanish, which file,
// which line and what is wrong.
std::optional<DefinicionListado> LeerDefinicionListado(const QString& ruta, QString& error);
std::optional<DefinicionListado> LeerDefinicionListadoTexto(const QString& texto, const QString& archivo, QString& error);

// Where a report name ("LstFactCli.rpt") is looked for: its .lst file beside the program,
// else in the installed data folder. A path that names an existing file is taken as it is.
// Empty when it is nowhere.
QString BuscarDefinicionListado(const QString& nombreInforme);
// The .lst file name a report name maps to.
QString ArchivoDefinicion(const QString& nombreInforme);
