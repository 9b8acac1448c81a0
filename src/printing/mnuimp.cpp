#include "mnuimp.h"

#include "impresoraactual.h"
#include "printxt.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

ImpresorasSistema DelSistema()
{
    return {QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName()};
}

FuenteImpresoras& Fuente()
{
    static FuenteImpresoras fuente = DelSistema;
    return fuente;
}

}  // namespace

FuenteImpresoras FijarFuenteImpresoras(FuenteImpresoras fuente)
{
    FuenteImpresoras anterior = std::move(Fuente());
    Fuente() = fuente ? std::move(fuente) : FuenteImpresoras(DelSistema);
    return anterior;
}

ImpresorasSistema ImpresorasDisponibles() { return Fuente()(); }

MnuImp::MnuImp(const QString& nombreUno, const QString& textoUno, const QString& textoLista, const std::vector<Opcion>& opciones,
               QWidget* padre)
    : QDialog(padre)
{
    setWindowTitle(QStringLiteral("Imprimir"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_uno = new QRadioButton(textoUno, this);
    m_uno->setObjectName(nombreUno);
    m_lista = new QRadioButton(textoLista, this);
    m_lista->setObjectName(QStringLiteral("opLis"));
    m_frLista = new QGroupBox(this);
    m_frLista->setObjectName(QStringLiteral("frLista"));
    auto* capa = new QVBoxLayout(m_frLista);
    // A group of their own: otherwise a checked option would let a click on the checked
    // "one document" button uncheck it.
    auto* grupo = new QButtonGroup(m_frLista);
    for (const Opcion& o : opciones) {
        auto* b = new QRadioButton(o.texto, m_frLista);
        b->setObjectName(o.nombre);
        grupo->addButton(b);
        capa->addWidget(b);
        m_opciones.emplace_back(b, o.codigo);
    }

    m_lstPrn = new QComboBox(this);
    m_lstPrn->setObjectName(QStringLiteral("lstPrn"));
    m_lstPrn->setMinimumContentsLength(28);
    auto* etiqueta = new QLabel(QStringLiteral("Impresora"), this);
    etiqueta->setBuddy(m_lstPrn);

    auto* aceptar = new QPushButton(QStringLiteral("&Aceptar"), this);
    aceptar->setObjectName(QStringLiteral("Aceptar"));
    aceptar->setToolTip(QStringLiteral("Guardar"));
    aceptar->setDefault(true);
    auto* cancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    cancelar->setObjectName(QStringLiteral("Cancelar"));
    cancelar->setToolTip(QStringLiteral("Abandonar cambios"));
    connect(aceptar, &QPushButton::clicked, this, &MnuImp::Aceptar);
    connect(cancelar, &QPushButton::clicked, this, &MnuImp::Cancelar);

    auto* principal = new QVBoxLayout(this);
    principal->addWidget(m_uno);
    principal->addWidget(m_lista);
    principal->addWidget(m_frLista);
    principal->addWidget(etiqueta);
    principal->addWidget(m_lstPrn);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(aceptar);
    botones->addWidget(cancelar);
    principal->addLayout(botones);
    principal->setSizeConstraint(QLayout::SetFixedSize);

    m_uno->setChecked(true);
    // A listing is always of some kind: accepting "listado" alone must not do nothing.
    if (!m_opciones.empty())
        m_opciones.front().first->setChecked(true);
    m_frLista->setVisible(false);
    connect(m_lista, &QRadioButton::toggled, m_frLista, &QWidget::setVisible);
}

void MnuImp::Cargar()
{
    const ImpresorasSistema sistema = Fuente()();
    m_lstPrn->clear();
    m_lstPrn->addItems(sistema.nombres);
    // The program's current printer is the system's default until the user chooses another.
    const QString actual = ImpresoraActual().isEmpty() ? sistema.predeterminada : ImpresoraActual();
    m_lstPrn->setCurrentIndex(actual.isEmpty() ? -1 : static_cast<int>(sistema.nombres.indexOf(actual)));
}

void MnuImp::Aceptar()
{
    if (m_lstPrn->currentIndex() < 0) {
        Avisar(m_lstPrn->count() == 0
                   ? QStringLiteral("No se puede imprimir: no hay ninguna impresora instalada en el sistema. "
                                    "Instale una y vuelva a intentarlo, o pulse «Cancelar».")
                   : QStringLiteral("No se puede imprimir sin impresora: no hay ninguna elegida. "
                                    "Elija una en la lista «Impresora»."));
        m_lstPrn->setFocus(Qt::OtherFocusReason);
        return;
    }
    FijarImpresoraActual(m_lstPrn->currentText());
    m_aceptado = true;
    accept();
}

void MnuImp::Cancelar()
{
    m_aceptado = false;
    reject();
}

qint16 MnuImp::Accion()
{
    Cargar();
    m_aceptado = false;
    exec();
    if (!m_aceptado)
        return 0;
    if (m_uno->isChecked())
        return 1;
    for (const auto& [boton, codigo] : m_opciones)
        if (boton->isChecked())
            return codigo;
    return 0;
}

MnuImpF::MnuImpF(QWidget* padre)
    : MnuImp(QStringLiteral("opUna"), QStringLiteral("Imprimir UNA factura"), QStringLiteral("Listado de Facturación"),
             {{QStringLiteral("opMes"), QStringLiteral("Agrupado por meses"), PorMeses},
              {QStringLiteral("opCli"), QStringLiteral("Agrupado por clientes"), PorClientes}},
             padre)
{
    setObjectName(QStringLiteral("MnuImpF"));
}

MnuImpA::MnuImpA(QWidget* padre)
    : MnuImp(QStringLiteral("opUno"), QStringLiteral("Imprimir UN albarán"), QStringLiteral("Listado de Albaranes"),
             {{QStringLiteral("opTodo"), QStringLiteral("Todos"), Todos},
              {QStringLiteral("opPend"), QStringLiteral("Pendientes de liquidar"), Pendientes},
              {QStringLiteral("opLiqu"), QStringLiteral("Liquidados"), Liquidados}},
             padre)
{
    setObjectName(QStringLiteral("MnuImpA"));
}
