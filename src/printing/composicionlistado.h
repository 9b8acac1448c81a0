#pragma once

#include "definicionlistado.h"
#include "valor.h"

#include <QHash>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QPainter;

// Named values a template can use: the formulas of the run and the definition's data.
using ValoresNombrados = QHash<QString, Valor>;  // keys in lower case

// Template texts of the definitions: "@Nombre", "@Nombre{formato}", "@Nombre[1=uno|2=dos|*=otro]"
// (the chosen text is itself a template) and "@@" for an at sign. `buscar` answers the value
// of a name, or nothing for an unknown one (which then writes nothing and goes to `desconocidos`).
QString ExpandirPlantilla(const QString& plantilla, const std::function<std::optional<Valor>(const QString&)>& buscar,
                          QStringList* desconocidos = nullptr);
// A value as a listing writes it: with the format when given ("mes" writes "Marzo de 2024"),
// else dates as dd/mm/yyyy, fractions with two decimals, texts as they are.
QString TextoListado(const Valor& valor, const QString& formato = {});

// Decimals a listing prints with this column format (2 without one).
int DecimalesDeFormato(const QString& formato);
// `valor` as printed with `decimales` decimals, in units of the last one (12,35 -> 1235).
qint64 UnidadesImpresas(double valor, int decimales);

// One thing drawn on a page, in millimetres from the paper's top-left corner.
struct ElementoPagina {
    enum class Tipo { Texto, Linea };
    Tipo tipo = Tipo::Texto;
    QRectF caja;  // a line runs from the top-left to the bottom-right corner
    QString texto;
    double puntos = 8;
    bool negrita = false;
    Alineacion alineacion = Alineacion::Izquierda;
    bool encoger = false;  // a text too wide for its box on the device is drawn smaller, not cut
};

struct LineaListado {
    enum class Tipo { Detalle, CabeceraGrupo, PieGrupo, Total, Vacio };
    Tipo tipo = Tipo::Detalle;
    QString texto;               // heads, feet and the empty notice
    std::vector<Valor> valores;  // detail: one per column; feet and total: the sums (null where none)
    int cuenta = 0;              // feet and total: rows counted
};

// Lays a listing out in pages as its rows arrive, so that the first pages can be shown while
// the rest is still being read. Rows come with the query's columns in `nombresColumnas` order.
class ComposicionListado {
public:
    // Fails (false, Spanish `error`) when a column, the group or a template names something the
    // query does not give.
    bool Iniciar(const DefinicionListado& definicion, const QStringList& nombresColumnas, const ValoresNombrados& formulas,
                 QString& error);
    void AnadirFila(const std::vector<Valor>& fila);
    // Closes the last group and writes the grand total, or the empty notice.
    void Terminar();

    bool Terminada() const { return m_terminada; }
    int Filas() const { return m_filas; }
    // Pages laid out so far; a page counts once it is full or the listing has ended.
    int PaginasCompletas() const;
    int Paginas() const { return static_cast<int>(m_inicioPagina.size()); }
    const std::vector<LineaListado>& Lineas() const { return m_lineas; }
    // Lines [first, end) of a page (1-based).
    std::pair<int, int> LineasDePagina(int pagina) const;
    QSizeF Papel() const;
    QString Titulo() const { return m_def.titulo; }
    const DefinicionListado& Definicion() const { return m_def; }

    // What page `pagina` (1-based) draws: head, lines, foot.
    std::vector<ElementoPagina> Elementos(int pagina) const;
    // Draws a page on a painter whose device measures `pxPorMm` pixels per millimetre.
    void Dibujar(QPainter& pintor, int pagina, double pxPorMm) const;

    // Texts of a line's cells as printed (detail, feet and total).
    QStringList Celdas(const LineaListado& linea) const;

private:
    double Alto(LineaListado::Tipo tipo) const;
    void Colocar(LineaListado linea, double altoReservado = 0);
    void CerrarGrupo();
    std::optional<Valor> Buscar(const QString& nombre, const std::vector<Valor>* fila, int cuenta) const;
    QString Expandir(const QString& plantilla, const std::vector<Valor>* fila, int cuenta) const;
    QString ClaveGrupo(const std::vector<Valor>& fila) const;

    DefinicionListado m_def;
    QStringList m_nombres;  // lower case
    ValoresNombrados m_formulas;
    std::vector<int> m_indices;  // query column of each listing column
    int m_indiceGrupo = -1;
    QString m_cabecera;   // page head's filter line, expanded once
    QString m_hoy;

    std::vector<LineaListado> m_lineas;
    std::vector<int> m_inicioPagina;
    double m_y = 0;  // where the next line goes on the last page

    bool m_enGrupo = false;
    QString m_claveGrupo;
    std::vector<Valor> m_primeraDelGrupo;
    std::vector<qint64> m_sumaGrupo;  // in units of each column's last printed decimal
    std::vector<qint64> m_sumaTotal;
    std::vector<int> m_decimales;     // each column's printed decimals
    int m_cuentaGrupo = 0;
    int m_filas = 0;
    bool m_terminada = false;
};
