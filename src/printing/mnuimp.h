#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class QComboBox;
class QGroupBox;
class QRadioButton;

// The printers the print choice dialogs offer: device names in the system's order and the
// system's default. Tests replace the source; FijarFuenteImpresoras returns the previous one.
struct ImpresorasSistema {
    QStringList nombres;
    QString predeterminada;
};
using FuenteImpresoras = std::function<ImpresorasSistema()>;
FuenteImpresoras FijarFuenteImpresoras(FuenteImpresoras fuente);
// The printers of the current source.
ImpresorasSistema ImpresorasDisponibles();

// "Imprimir": one document or a listing, and on which printer. The chosen printer becomes the
// program's current printer (masks and listings) until the program ends.
class MnuImp : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog modally. 0 when it was cancelled, closed, or a listing was chosen
    // without one of its options; 1 for the single document; else the listing option's code.
    qint16 Accion();

protected:
    struct Opcion {
        QString nombre;
        QString texto;
        qint16 codigo;
    };
    MnuImp(const QString& nombreUno, const QString& textoUno, const QString& textoLista, const std::vector<Opcion>& opciones,
           QWidget* padre);

private:
    void Cargar();
    void Aceptar();
    void Cancelar();

    QRadioButton* m_uno = nullptr;
    QRadioButton* m_lista = nullptr;
    QGroupBox* m_frLista = nullptr;
    std::vector<std::pair<QRadioButton*, qint16>> m_opciones;
    QComboBox* m_lstPrn = nullptr;
    bool m_aceptado = false;
};

// For invoices: opUna, opLis with opCli and opMes.
class MnuImpF : public MnuImp {
    Q_OBJECT
public:
    enum : qint16 { Cancelado = 0, UnaFactura = 1, PorClientes = 2, PorMeses = 3 };
    explicit MnuImpF(QWidget* padre = nullptr);
};

// For delivery notes: opUno, opLis with opTodo, opPend and opLiqu.
class MnuImpA : public MnuImp {
    Q_OBJECT
public:
    enum : qint16 { Cancelado = 0, UnAlbaran = 1, Todos = 2, Pendientes = 3, Liquidados = 4 };
    explicit MnuImpA(QWidget* padre = nullptr);
};
