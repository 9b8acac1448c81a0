#pragma once

#include <QDate>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QRadioButton;

// "Generación de nuevas facturas": the user confirms the invoicing of delivery notes and
// chooses series, date, one invoice per note or per customer, the line detail and whether to
// print the invoices.
class GeneFact : public QDialog {
    Q_OBJECT
public:
    explicit GeneFact(QWidget* padre = nullptr);

    // Room a title bar takes besides its text: icon, close button and margins (pixels).
    static constexpr int AnchoBotonesTitulo = 120;

    // Shows the dialog modally for `cuenta` notes. True when the user accepted; only then are
    // serie, fecha, detalle (1 lines, 2 summary, 3 both), unoAUno and imprimir written back.
    bool Dialogo(qint16& cuenta, qint16& serie, QDate& fecha, qint16& detalle, bool& unoAUno, bool& imprimir);

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QLabel* m_lbNum1 = nullptr;
    QLabel* m_lbNumN = nullptr;
    QLineEdit* m_txSerie = nullptr;
    QDateEdit* m_pkFecha = nullptr;
    QRadioButton* m_uno2uno = nullptr;
    QRadioButton* m_var2uno = nullptr;
    QCheckBox* m_InfAlb = nullptr;
    QCheckBox* m_DetLin = nullptr;
    QCheckBox* m_chkImprimir = nullptr;
    bool m_aceptado = false;
};
