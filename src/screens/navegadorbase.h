#pragma once

#include "filtro.h"
#include "navegador.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <optional>

class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class ListaFilas;

// What the delivery-note and invoice browsers share: the filter labels, the "Filtrar" panel
// with its one-shot timer and the filter dialog, the list grid with its context menu, the
// open editors keyed by document number, the window position and the browser registry.
// A browser adds its columns, buttons, keys and operations.
class NavegadorBase : public QWidget, public NavegadorDocumentos {
    Q_OBJECT
public:
    ~NavegadorBase() override;

    bool Cargado() const override { return m_cargado; }
    void Refresco(std::optional<long> numero) override;
    void RefrescarFila(long numero) override;
    void Releer() override;
    void QuitarHijo(long numero) override;
    void HijoNumerado(long numero) override;

    const FiltroLista& filtro() const { return m_filtro; }
    // True while rows of the list are still being read behind the ones shown.
    bool Leyendo() const { return Incompleta(); }
    // The open editor of a number (0 for a new document), or null.
    QWidget* Hijo(long numero) const;
    // Brings a window (an MDI child's frame when it has one) to the front.
    static void TraerAlFrente(QWidget* ventana);

    ListaFilas* Grd = nullptr;
    QLabel* lbFch = nullptr;
    QLabel* lbCli = nullptr;
    QPushButton* Filtrar = nullptr;
    QTimer* Tim = nullptr;
    QMenu* MnAcciones = nullptr;

protected:
    // `ranura` is this kind's place in the registry; the browser holds it while loaded.
    NavegadorBase(const QString& nombre, const QString& titulo, NavegadorDocumentos*& ranura, QWidget* padre);

    // Shows the window in the program's MDI area with `filtro`, or brings the loaded one to
    // the front, with `filtro` when it names a customer. Returns the browser on screen.
    template <typename T>
    static T* AbrirUnico(QPointer<T>& unico, const FiltroLista& filtro);

    // Reads the list for the current filter into the grid.
    virtual void Leer() = 0;
    // Reads one document's row again into the list: replaced, inserted in its place, or
    // removed when the filter no longer takes it. Returns the data row (from 1) it now has, 0
    // when it is not listed; none when this list cannot read one row (it is rebuilt instead).
    virtual std::optional<int> LeerFila(long /*numero*/) { return std::nullopt; }
    // A list that shows its first rows at once and reads the rest behind them says here that
    // rows are still to come, and reads the next page when asked (the base asks when it needs
    // a row that has not come yet).
    virtual bool Incompleta() const { return false; }
    virtual void LeerMas() {}
    // A browser calls it after rows read behind were appended.
    void FilasLlegadas();
    // The document number of a data row; none for the title row or a missing one.
    virtual std::optional<long> NumeroDeFila(int fila) const = 0;
    // The series the filter dialog shows and returns; null when the browser has none.
    virtual std::optional<qint16>* SerieDelFiltro() { return nullptr; }
    // Enables the context menu's entries for the current row before it shows.
    virtual void PrepararMenu() {}
    // Keys on the grid; true when handled.
    virtual bool Tecla(QKeyEvent& evento) = 0;
    virtual void AbrirActual() = 0;
    // "El albarán", "La factura": how the messages about this kind of document begin.
    virtual QString NombreDocumento() const = 0;
    // Prints `copias` copies of the document; the reason it could not, in Spanish (empty when printed).
    virtual QString ImprimirDocumento(long numero, int copias) = 0;
    // Prints the current row's document: `copias` copies, or as many as the user asks for.
    void ImprimirActual(std::optional<int> copias = std::nullopt);

    std::optional<long> NumeroActual() const;
    // What the open editors are kept by: the number, or whatever else tells documents apart.
    virtual QString ClaveHijo(long numero) const;
    void QuitarClave(const QString& clave);
    // Registers an editor under its number (0 for a new document); false when `editor` is null.
    bool AnadirHijo(long numero, QWidget* editor);
    // Brings the number's open editor to the front; false when none is open.
    bool MostrarHijo(long numero);
    QHBoxLayout* Botonera() const { return m_botonera; }
    QPushButton* AnadirBoton(const char* nombre, const QString& texto);
    void Mensaje(const QString& texto, int icono);
    bool Pregunta(const QString& texto);
    // True, after telling the user, when the document has an open editor that would save its
    // own copy over what `accion` ("eliminar", "imprimir", ...) is about to do.
    bool EnEdicion(long numero, const QString& accion);
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

    FiltroLista m_filtro;

private:
    void Cargar();
    void PulsarFiltrar();
    void EditarFiltro();
    void MenuContextual(const QPoint& global);

    NavegadorDocumentos*& m_ranura;
    bool m_cargado = false;
    std::map<QString, QPointer<QWidget>> m_hijos;
    QHBoxLayout* m_botonera = nullptr;
    // Ctrl+End was pressed while rows were still coming: the last one is selected when all are in.
    bool m_alFinal = false;
};

#include "ventanas.h"

#include <QMdiArea>
#include <QMdiSubWindow>

template <typename T>
T* NavegadorBase::AbrirUnico(QPointer<T>& unico, const FiltroLista& filtro)
{
    if (unico && unico->Cargado()) {
        // Asked for one customer's documents (from the customer list): the list shows them,
        // whatever it showed before, so that its bulk operations work on that customer only.
        if (filtro.cliente) {
            unico->m_filtro = filtro;
            unico->Refresco(std::nullopt);
        }
        TraerAlFrente(unico);
        return unico;
    }
    auto* b = new T;
    unico = b;
    b->m_filtro = filtro;
    if (QMdiArea* area = AreaVentanas()) {
        QMdiSubWindow* marco = area->addSubWindow(b);
        marco->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        b->setAttribute(Qt::WA_DeleteOnClose);
    }
    b->Cargar();
    return b;
}
