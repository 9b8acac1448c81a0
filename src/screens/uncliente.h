#pragma once

#include "coleccion.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Datos de un cliente": edits one customer, new or stored, and tells the customer browser
// (through Navegadores::clientes) when it saved and when it closed.
class UnCliente : public QWidget {
    Q_OBJECT
public:
    explicit UnCliente(QWidget* padre = nullptr);

    // Fills the fields for a stored customer, or for a new one without a code, and shows the
    // window. False (nothing filled, not shown) when the customer cannot be read.
    bool Editar(std::optional<qint32> codigo = std::nullopt);

    qint32 CodigoEditado() const { return m_codigo; }
    bool Cambios() const { return m_cambios; }

    void Acepta_Click();
    void Cancela_Click();

    QLineEdit* txCodigo = nullptr;
    QLineEdit* txNombre = nullptr;
    QLineEdit* txNIF = nullptr;
    QLineEdit* txDireccion1 = nullptr;
    QLineEdit* txDireccion2 = nullptr;
    QLineEdit* txDireccion3 = nullptr;
    QLineEdit* txCodPostal = nullptr;
    QLineEdit* txPoblacion = nullptr;
    QLineEdit* txProvincia = nullptr;
    QLineEdit* txTelefono1 = nullptr;
    QLineEdit* txTelefono2 = nullptr;
    QLineEdit* txEmail = nullptr;
    QLineEdit* txDescto = nullptr;
    QCheckBox* ckUsaREq = nullptr;
    // Says that the customer's notes not yet invoiced take a changed discount.
    QLabel* lbDesctoPendientes = nullptr;
    QPushButton* Acepta = nullptr;
    QPushButton* Cancela = nullptr;

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;

private:
    QLineEdit* campo(const char* nombre, int largo);
    bool Preguntar(const QString& texto);
    bool PreguntarSiNo(const QString& texto);
    void Avisar(const QString& texto, bool critico);

    qint32 m_codigo = 0;
    Coleccion m_leidos;  // the stored row as it was read, to tell another station's changes
    bool m_cambios = false;
    bool m_cerrar = false;  // the user already chose to close: no question on the way out
    qint32 m_pendientes = 0;  // notes of the customer not yet invoiced
    QString m_descuentoLeido;
    void AvisarDescuento();
};

// A discount typed with "," or "." as its decimal mark; no value when the text is not a number.
std::optional<float> LeerDescuento(const QString& texto);
