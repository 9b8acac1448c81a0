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
    // Forgets the open editor of `numero` (0 for a new record); an unknown number is ignored.
    virtual void QuitarHijo(long numero) = 0;
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

// The multiple-document area where child windows open. The main window sets it; tests set
// their own. Null until set.
QMdiArea* AreaVentanas();
void setAreaVentanas(QMdiArea* area);
