#pragma once

#include "basedatos.h"
#include "lecturapaginada.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>
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

    // Reads the list again from `pkDesde` (its first page now, the rest behind it) and selects
    // the row of ticket `seleccion`, or keeps the selected row number.
    void Refresco(std::optional<qint32> seleccion = std::nullopt);
    // The timer's work: reads the tickets newer than the newest listed and the stretch in
    // view again, and shows them only when something changed.
    void Tim_Timer();
    // Whether older tickets are still being read behind the first page.
    bool LeyendoMas() const { return m_paginas.Incompleta(); }
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
    const FilaTicket& ticket(int fila) const { return m_lista[static_cast<size_t>(fila - 1)]; }
    // The grid row of ticket `docID` among the rows read; 0 when not there.
    int filaDe(qint32 docID) const;
    // Shows m_lista again after `cambiar` changed it, keeping the view and the selection on
    // their tickets (the selection on `seleccion` when given).
    void Mostrar(const std::function<void()>& cambiar, std::optional<qint32> seleccion);
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

    // The list on screen, newest first: grid row f shows element f - 1.
    std::vector<FilaTicket> m_lista;
    LecturaPaginada<FilaTicket> m_paginas{this, m_lista};
    QWidget* m_panel = nullptr;
    QPointer<UnAlbaran> m_hijo;
    qint32 m_pendiente = 0;
    int m_filaPulsada = 0;
    bool m_abierta = false;
    // The timer's own interval while the server is away and the tries space out.
    std::optional<int> m_intervaloNormal;
};
