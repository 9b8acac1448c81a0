#pragma once

#include "basedatos.h"
#include "lecturapaginada.h"
#include "navegador.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class ListaFilas;
class QAction;
class QMenu;
class QPushButton;
class UnCliente;

// "Clientes": the one customer browser. Lists the customers, opens them in editors (at most
// one per code, "0" for a new one), deletes them, prints the customer listing and opens the
// delivery-note and invoice browsers on a customer.
class BrowCli : public QWidget, public NavegadorDocumentos {
    Q_OBJECT
public:
    // Shows the browser, creating and loading it the first time; otherwise brings it to the front.
    static BrowCli* Abrir();
    // The loaded browser, or null.
    static BrowCli* Instancia();

    ~BrowCli() override;

    bool Cargado() const override { return true; }
    void Refresco(std::optional<long> codigo) override;
    void QuitarHijo(long codigo) override;
    void Releer() override;

    void Nuevo_Click();
    void Edita_Click();
    void Borra_Click();
    void Imprim_Click();
    void MnAlbaranes_Click();
    void MnFacturas_Click();

    // "Codigo", "Nombre" or "NIF".
    QString Orden() const { return m_orden; }
    // True while rows of the list are still being read behind the ones shown.
    bool Leyendo() const { return m_paginas.Incompleta(); }
    // The open editor of a code (0 for the new customer), or null.
    UnCliente* Editor(long codigo) const;

    ListaFilas* Grd = nullptr;
    QPushButton* Nuevo = nullptr;
    QPushButton* Edita = nullptr;
    QPushButton* Borra = nullptr;
    QPushButton* Imprim = nullptr;
    QPushButton* Salir = nullptr;
    QMenu* MnuBase = nullptr;
    QAction* MnEditar = nullptr;
    QAction* MnEliminar = nullptr;
    QAction* MnAlbaranes = nullptr;
    QAction* MnFacturas = nullptr;
    QAction* MnNuevo = nullptr;

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    BrowCli();
    void Grd_DblClickTitulo(int col);
    // The code of the selected customer row, when there is one with a numeric code.
    std::optional<qint32> CodigoSeleccionado() const;
    void AbrirEditor(const QString& clave, std::optional<qint32> codigo);
    void VerDocumentos(const Navegadores::Abridor& abrir);
    // The row (from 1) that typing `texto` on the list finds, looking from `desde`; 0 for none.
    int Buscar(const QString& texto, int desde);
    QMessageBox::StandardButton Mensaje(const QString& texto, QMessageBox::StandardButtons botones, QMessageBox::Icon icono);

    QString m_orden = QStringLiteral("Codigo");
    std::vector<FilaCliente> m_filas;
    LecturaPaginada<FilaCliente> m_paginas{this, m_filas};
    std::map<QString, QPointer<UnCliente>> m_editores;  // keyed by the code as decimal text
};
