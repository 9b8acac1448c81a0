#pragma once

#include <QDate>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QMdiArea;

// What an editor asks of the browser that lists its kind of record. The browsers implement
// it; editors only see this, so an editor works (and is tested) without its browser.
class NavegadorDocumentos {
public:
    virtual ~NavegadorDocumentos() = default;

    // True while the browser's window is loaded.
    virtual bool Cargado() const = 0;
    // Rebuilds the list; with a number (note, invoice or customer code) selects its row.
    virtual void Refresco(std::optional<long> numero) = 0;
    // One record was stored: its row is read again (added, changed, or gone when it no longer
    // matches the list) and selected. A list that cannot read one row rebuilds itself.
    virtual void RefrescarFila(long numero) { Refresco(numero); }
    // Reads the whole list again (another part of the program or another station changed it),
    // keeping the selected record selected.
    virtual void Releer() { Refresco(std::nullopt); }
    // Forgets the open editor of `numero` (0 for a new record); an unknown number is ignored.
    virtual void QuitarHijo(long numero) = 0;
    // A new record's editor was saved and stays open: it is now the editor of `numero`, so
    // that the next new record gets its own editor and `numero` is not opened twice.
    virtual void HijoNumerado(long /*numero*/) {}
    // The same for a document numbered within `serie`; a browser without series forgets `numero`.
    virtual void QuitarHijoDeSerie(qint16 serie, long numero)
    {
        Q_UNUSED(serie);
        QuitarHijo(numero);
    }
};

// The one browser of each kind while it is loaded (null otherwise), and how to open the
// note and invoice browsers filtered on a customer and a period. The browsers register
// themselves when they load and clear their slot when they unload; the main window installs
// the openers, tests install their own.
struct Navegadores {
    static NavegadorDocumentos* clientes;
    static NavegadorDocumentos* albaranes;
    static NavegadorDocumentos* facturas;

    using Abridor = std::function<void(std::optional<long> cliente, QDate desde, QDate hasta)>;
    static Abridor abrirAlbaranes;
    static Abridor abrirFacturas;
};

// Reads `lista` again when it is loaded: what one window changes shows at once in the others.
void ReleerSiCargado(NavegadorDocumentos* lista);

// The multiple-document area where child windows open. The main window sets it; tests set
// their own. Null until set.
QMdiArea* AreaVentanas();
void setAreaVentanas(QMdiArea* area);
