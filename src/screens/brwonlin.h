#pragma once

#include "basedatos.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class ListaFilas;
class QDateEdit;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTimer;
class UnAlbaran;

// "Tickets generados en Línea de balanzas": the live list of the scale line's closed tickets,
// from which the user turns a ticket into a delivery note and deletes used tickets. Rows are
// counted as the old grid counted them: row 0 is the title row, tickets start at row 1.
class BrwOnLin : public QWidget {
    Q_OBJECT
public:
    // Shows the one ticket browser in the main window's area, or brings it to the front.
    static BrwOnLin* Abrir();
    // The open browser, or null.
    static BrwOnLin* Instancia();

    // Rebuilds the grid from `lista` (fetched from `pkDesde` when not given) and selects the
    // row of ticket `seleccion`, or keeps the selected row number.
    void Refresco(std::optional<std::vector<FilaTicket>> lista = std::nullopt, std::optional<qint32> seleccion = std::nullopt);
    // The timer's work: rebuilds only when the closed-ticket list changed.
    void Tim_Timer();
    void Hijo_Update();
    void Hijo_Abort();

    // The ticket shown on grid row `fila` (from 1); 0 outside the list.
    qint32 docIDDeFila(int fila) const;
    // The editor opened from this window, or null, and the ticket handed to it (0 for none).
    UnAlbaran* Hijo() const;
    qint32 TicketPendiente() const { return m_pendiente; }

    QDateEdit* pkDesde = nullptr;
    QPushButton* Buscar = nullptr;
    QPushButton* Eliminar = nullptr;
    QPushButton* Salir = nullptr;
    ListaFilas* Grd = nullptr;
    QWidget* pBusco = nullptr;
    QLineEdit* txBuscoT = nullptr;
    QLineEdit* txBuscoB = nullptr;
    QTimer* Tim = nullptr;
    QMenu* MnAccion = nullptr;
    QAction* MnAlbaran = nullptr;
    QAction* MnEliminar = nullptr;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    explicit BrwOnLin(QWidget* padre = nullptr);
    ~BrwOnLin() override;

    void Cargar();
    void seleccionarFila(int fila, bool arriba);
    std::pair<int, int> rangoSeleccionado() const;
    int filasSeleccionadas() const;
    const FilaTicket& ticket(int fila) const { return m_lista[m_lista.size() - static_cast<size_t>(fila)]; }
    bool usado(int fila) const;
    void GenerarAlbaran();
    void EliminarSeleccion();
    void EliminarMarcados();
    void AbrirBusqueda();
    void CerrarBusqueda();
    void BuscarTicket();
    void MenuContextual(const QPoint& posicion);
    void cerrar();
    QMessageBox::StandardButton preguntar(const QString& texto, QMessageBox::StandardButtons botones, QMessageBox::Icon icono,
                                          QMessageBox::StandardButton porDefecto = QMessageBox::NoButton);

    // The list on screen, ascending by docID: grid row f shows element size - f.
    std::vector<FilaTicket> m_lista;
    QWidget* m_panel = nullptr;
    QPointer<UnAlbaran> m_hijo;
    qint32 m_pendiente = 0;
    int m_filaPulsada = 0;
    bool m_abierta = false;
};
