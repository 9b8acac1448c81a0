#include "mainmdi.h"

#include "browalb.h"
#include "browcli.h"
#include "configurar.h"
#include "global.h"
#include "navegador.h"
#include "utilidades.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

QString TextoVersion(int mayor, int menor, int revision)
{
    return QStringLiteral("versión ") + QString::number(mayor) + QLatin1Char('.') + NumeroConCeros(menor, 2)
        + QChar(64 + revision);
}

int AnchoHueco(int anchoVentana, const std::vector<int>& anchosBotones, int huecos, int margen)
{
    if (huecos <= 0)
        return 0;
    int suma = 0;
    for (int a : anchosBotones)
        suma += a;
    return std::max(0, (anchoVentana - (suma + margen)) / huecos);
}

MainMDI::MainMDI(QWidget* padre) : QMainWindow(padre)
{
    setObjectName(QStringLiteral("MainMDI"));
    setWindowTitle(QStringLiteral("Facturación con KV740"));
    m_area = new QMdiArea(this);
    setAreaVentanas(m_area);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);

    TBar = addToolBar(QStringLiteral("TBar"));
    TBar->setObjectName(QStringLiteral("TBar"));
    TBar->setMovable(false);
    TBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    auto* hueco = new QWidget(TBar);
    hueco->setObjectName(QStringLiteral("sep1"));
    TBar->addWidget(hueco);
    m_botones.emplace_back(QStringLiteral("sep1"), hueco);
    anadirBoton(QStringLiteral("cli"), QStringLiteral("Clientes  "), QStringLiteral("x-office-address-book"));
    anadirBoton(QStringLiteral("alb"), QStringLiteral("Albaranes  "), QStringLiteral("document-open"));
    anadirBoton(QStringLiteral("cfg"), QStringLiteral("Configurar  "), QStringLiteral("preferences-system"));
    anadirBoton(QStringLiteral("fin"), QStringLiteral("Terminar  "), QStringLiteral("application-exit"));

    Navegadores::abrirAlbaranes = [](std::optional<long> cliente, QDate desde, QDate hasta) {
        BrowAlb::Abrir(ClienteDeCodigo(cliente), FechaDeFiltro(desde), FechaDeFiltro(hasta));
    };

    const QStringList partes = QApplication::applicationVersion().split(QLatin1Char('.'));
    lbVersion = new QLabel(TextoVersion(partes.value(0).toInt(), partes.value(1).toInt(), partes.value(2).toInt()), this);
    lbVersion->setObjectName(QStringLiteral("lbVersion"));
    statusBar()->addPermanentWidget(lbVersion);
    resize(1024, 720);
}

void MainMDI::anadirBoton(const QString& clave, const QString& texto, const QString& icono)
{
    auto* b = new QToolButton(TBar);
    b->setObjectName(clave);
    b->setText(texto);
    b->setIcon(QIcon::fromTheme(icono, style()->standardIcon(clave == QLatin1String("fin") ? QStyle::SP_DialogCloseButton
                                                                                          : QStyle::SP_FileDialogDetailedView)));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    connect(b, &QToolButton::clicked, this, [this, clave] { TBar_ButtonClick(clave); });
    TBar->addWidget(b);
    m_botones.emplace_back(clave, b);
}

QWidget* MainMDI::Boton(const QString& clave) const
{
    for (const auto& [k, w] : m_botones)
        if (k == clave)
            return w;
    return nullptr;
}

void MainMDI::AjustarHuecos()
{
    std::vector<int> anchos;
    int huecos = 0;
    for (const auto& [clave, w] : m_botones) {
        if (clave.startsWith(QLatin1String("sep")))
            ++huecos;
        else if (w->isVisible() || !isVisible())
            anchos.push_back(w->sizeHint().width());
    }
    // The toolbar's own margins and handle take the place of the old 4-pixel allowance.
    const int margen = 4 + TBar->contentsMargins().left() + TBar->contentsMargins().right()
        + TBar->layout()->contentsMargins().left() + TBar->layout()->contentsMargins().right()
        + TBar->layout()->spacing() * static_cast<int>(m_botones.size());
    const int ancho = AnchoHueco(width(), anchos, huecos, margen);
    for (int i = 1; i <= huecos; ++i)
        if (QWidget* h = Boton(QStringLiteral("sep") + QString::number(i)))
            h->setFixedWidth(ancho);
}

void MainMDI::changeEvent(QEvent* evento)
{
    if (evento->type() == QEvent::ActivationChange && isActiveWindow())
        AjustarHuecos();
    QMainWindow::changeEvent(evento);
}

void MainMDI::resizeEvent(QResizeEvent* evento)
{
    QMainWindow::resizeEvent(evento);
    AjustarHuecos();
}

void MainMDI::TBar_ButtonClick(const QString& clave)
{
    if (clave == QLatin1String("cli")) {
        BrowCli::Abrir();
    } else if (clave == QLatin1String("cfg")) {
        // Browsers work on the state the dialog changes: close them first.
        for (QMdiSubWindow* w : m_area->subWindowList())
            w->close();
        Configurar::Activar(QString(), this);
    } else if (clave == QLatin1String("alb")) {
        BrowAlb::Abrir(std::nullopt, QDate::currentDate(), QDate::currentDate());
    } else if (clave == QLatin1String("fin")) {
        close();
    }
}
