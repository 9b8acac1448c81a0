#include "mainmdi.h"

#include "acercade.h"
#include "browalb.h"
#include "browfac.h"
#include "browcli.h"
#include "brwonlin.h"
#include "configurar.h"
#include "envioautomatico.h"
#include "global.h"
#include "navegador.h"
#include "registrosverifactu.h"
#include "utilidades.h"
#include "ventanas.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>


QString TextoVersion(int mayor, int menor, int revision)
{
    return QStringLiteral("versión ") + QString::number(mayor) + QLatin1Char('.') + NumeroConCeros(menor, 2)
        + QChar(64 + revision);
}

QIcon IconoPrograma() { return QIcon(QStringLiteral(":/quenza/es.quenza.Quenza.png")); }

MainMDI::MainMDI(QWidget* padre) : QMainWindow(padre)
{
    setObjectName(QStringLiteral("MainMDI"));
    setWindowTitle(QStringLiteral("Facturación con KV740"));
    m_area = new QMdiArea(this);
    setAreaVentanas(m_area);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    // Child windows are watched as they show, where the area may place them partly outside.
    m_area->viewport()->installEventFilter(this);

    TBar = addToolBar(QStringLiteral("TBar"));
    TBar->setObjectName(QStringLiteral("TBar"));
    TBar->setMovable(false);
    TBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    TBar->setFloatable(false);
    TBar->toggleViewAction()->setEnabled(false);

    // The buttons, in the toolbar's order: one call each. The style's icons stand in when the
    // desktop's theme lacks the named one; each button keeps its own (for "fac" and "onl":
    // SP_DialogSaveButton and SP_DriveNetIcon).
    anadirHueco(QStringLiteral("sep1"));
    anadirBoton(QStringLiteral("cli"), QStringLiteral("Clientes  "), QStringLiteral("x-office-address-book"),
                QStyle::SP_DirHomeIcon);
    anadirBoton(QStringLiteral("fac"), QStringLiteral("Facturas  "), QStringLiteral("x-office-document"),
                QStyle::SP_DialogSaveButton);
    anadirBoton(QStringLiteral("alb"), QStringLiteral("Albaranes  "), QStringLiteral("document-open"), QStyle::SP_FileIcon);
    anadirBoton(QStringLiteral("onl"), QStringLiteral("Balanzas  "), QStringLiteral("view-list-details"), QStyle::SP_DriveNetIcon);
    // The invoice records' window, shown only in VERI*FACTU mode: the toolbar of a shop outside
    // the mode stays as it always was.
    m_accionRegistros = anadirBoton(QStringLiteral("reg"), QStringLiteral("Registros  "), QStringLiteral("document-properties"),
                                    QStyle::SP_FileDialogContentsView);
    m_accionRegistros->setVisible(false);
    anadirBoton(QStringLiteral("cfg"), QStringLiteral("Configurar  "), QStringLiteral("preferences-system"),
                QStyle::SP_FileDialogInfoView);
    anadirBoton(QStringLiteral("fin"), QStringLiteral("Terminar  "), QStringLiteral("application-exit"),
                QStyle::SP_DialogCloseButton);

    Navegadores::abrirAlbaranes = [](std::optional<long> cliente, QDate desde, QDate hasta) {
        BrowAlb::Abrir(ClienteDeCodigo(cliente), FechaDeFiltro(desde), FechaDeFiltro(hasta));
    };
    Navegadores::abrirFacturas = [](std::optional<long> cliente, QDate desde, QDate hasta) {
        BrowFac::Abrir(ClienteDeCodigo(cliente), FechaDeFiltro(desde), FechaDeFiltro(hasta));
    };

    const QStringList partes = QApplication::applicationVersion().split(QLatin1Char('.'));
    lbVersion = new QLabel(TextoVersion(partes.value(0).toInt(), partes.value(1).toInt(), partes.value(2).toInt()), this);
    lbVersion->setObjectName(QStringLiteral("lbVersion"));
    statusBar()->addPermanentWidget(lbVersion);
    // The version opens the producer's declaration.
    lbVersion->setCursor(Qt::PointingHandCursor);
    lbVersion->setToolTip(QStringLiteral("Acerca de Quenza: declaración responsable del sistema de facturación"));
    lbVersion->installEventFilter(this);
    lbEnvios = new QLabel(this);
    lbEnvios->setObjectName(QStringLiteral("lbEnvios"));
    lbEnvios->setTextFormat(Qt::RichText);
    lbEnvios->setVisible(false);
    statusBar()->addWidget(lbEnvios, 1);
    connect(lbEnvios, &QLabel::linkActivated, this, &MainMDI::PedirClaveCertificado);
    EmpezarEnvio();
    setWindowIcon(IconoPrograma());
    resize(1024, 720);
    RestaurarVentana(this);
}

MainMDI::~MainMDI() = default;

void MainMDI::EmpezarEnvio()
{
    // Also after Configurar: the database, the mode, the certificate or the environment may
    // have changed, and sending follows them (never the database the program left).
    AjustesVerifactu ajustes;
    try {
        if (Global::BD)
            ajustes = Global::BD->LeerVerifactu();
    } catch (const motor::Error&) {
        ajustes.Activo = false;
    }
    m_accionRegistros->setVisible(ajustes.Activo);
    verifactu::ConfiguracionEnvio conf;
    if (ajustes.Activo)
        conf = verifactu::ConfiguracionDe(ajustes);
    const QString ruta = ajustes.Activo ? Global::RutaBaseDatos : QString();
    if (m_envio && ruta == m_rutaEnvio && conf.url == m_confEnvio.url && conf.autoridad == m_confEnvio.autoridad &&
        conf.certificado == m_confEnvio.certificado)
        return;
    m_envio.reset();  // an exchange under way is cut short: its records stay pending
    m_rutaEnvio = ruta;
    m_confEnvio = conf;
    if (!ajustes.Activo) {
        lbEnvios->setVisible(false);
        return;
    }
    // The password typed this session goes on serving the same certificate.
    conf.clave = m_clave.isEmpty() || m_certificadoClave != conf.certificado ? qEnvironmentVariable("QUENZA_AEAT_CLAVE") : m_clave;
    m_sinCertificado = conf.certificado.isEmpty();
    m_envio = std::make_unique<verifactu::EnvioAutomatico>(ruta, conf);
    connect(m_envio.get(), &verifactu::EnvioAutomatico::Intentado, this, &MainMDI::ActualizarAvisoEnvios, Qt::QueuedConnection);
    m_envio->Empezar();
    // Another station may be the one sending: its progress is read from the database.
    if (!m_relojEnvios) {
        m_relojEnvios = new QTimer(this);
        connect(m_relojEnvios, &QTimer::timeout, this, &MainMDI::ActualizarAvisoEnvios);
        m_relojEnvios->start(20000);
    }
    ActualizarAvisoEnvios();
}

void MainMDI::ActualizarAvisoEnvios()
{
    if (!m_envio || !Global::BD)
        return;
    verifactu::EstadoEnvios estado;
    try {
        estado = Global::BD->LeerEstadoEnvios();
    } catch (const motor::Error&) {
        return;  // the next reading will do
    }
    const QString texto = verifactu::AvisoEnvios(estado, m_sinCertificado, !m_envio->TieneClave());
    if (texto.isEmpty()) {
        lbEnvios->setVisible(false);
        return;
    }
    QString html = texto.toHtmlEscaped();
    if (estado.pendientes > 0 && !m_sinCertificado)
        html += QStringLiteral(" <a href=\"clave\">Contraseña del certificado…</a>");
    lbEnvios->setText(html);
    lbEnvios->setToolTip(texto);
    lbEnvios->setVisible(true);
}

void MainMDI::PedirClaveCertificado()
{
    if (!m_envio)
        return;
    bool aceptada = false;
    const QString clave = QInputDialog::getText(this, QStringLiteral("Certificado del comercio"),
                                                QStringLiteral("Contraseña del certificado para enviar los registros a la Agencia "
                                                               "Tributaria (no se guarda):"),
                                                QLineEdit::Password, QString(), &aceptada);
    if (aceptada && !clave.isEmpty()) {
        m_clave = clave;
        m_certificadoClave = m_confEnvio.certificado;
        m_envio->FijarClave(clave);
        ActualizarAvisoEnvios();
    }
}

bool MainMDI::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == lbVersion && evento->type() == QEvent::MouseButtonRelease) {
        AcercaDe(this).exec();
        return true;
    }
    if (objeto == m_area->viewport() && evento->type() == QEvent::ChildPolished) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(static_cast<QChildEvent*>(evento)->child()))
            sub->installEventFilter(this);
    } else if (evento->type() == QEvent::Show) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(objeto))
            // After the area has placed it.
            QMetaObject::invokeMethod(
                this, [sub = QPointer<QMdiSubWindow>(sub)] {
                    if (sub)
                        EncajarEnArea(sub);
                },
                Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(objeto, evento);
}

void MainMDI::closeEvent(QCloseEvent* evento)
{
    // The program ends as each window is closed by hand: an editor with unsaved changes asks,
    // and one the user keeps open keeps the program running.
    if (!CerrarVentanas()) {
        evento->ignore();
        return;
    }
    GuardarVentana(this);
    QMainWindow::closeEvent(evento);
}

bool MainMDI::CerrarVentanas()
{
    // A browser closes its editors too; the list is walked with guards since they go meanwhile.
    QList<QPointer<QMdiSubWindow>> ventanas;
    for (QMdiSubWindow* w : m_area->subWindowList())
        ventanas << w;
    for (const QPointer<QMdiSubWindow>& w : ventanas)
        if (w && w->isVisible() && !w->close())
            return false;
    return true;
}

void MainMDI::anadirHueco(const QString& clave)
{
    // It takes the free width through the layout, so it never raises the window's minimum width.
    auto* hueco = new QWidget(TBar);
    hueco->setObjectName(clave);
    hueco->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    hueco->setMinimumWidth(0);
    TBar->addWidget(hueco);
    m_botones.emplace_back(clave, hueco);
}

QAction* MainMDI::anadirBoton(const QString& clave, const QString& texto, const QString& tema, QStyle::StandardPixmap reserva)
{
    auto* b = new QToolButton(TBar);
    b->setObjectName(clave);
    b->setText(texto);
    b->setIcon(QIcon::fromTheme(tema, style()->standardIcon(reserva)));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    connect(b, &QToolButton::clicked, this, [this, clave] { TBar_ButtonClick(clave); });
    m_botones.emplace_back(clave, b);
    return TBar->addWidget(b);
}

QWidget* MainMDI::Boton(const QString& clave) const
{
    for (const auto& [k, w] : m_botones)
        if (k == clave)
            return w;
    return nullptr;
}

void MainMDI::TBar_ButtonClick(const QString& clave)
{
    if (clave == QLatin1String("cli")) {
        BrowCli::Abrir();
    } else if (clave == QLatin1String("onl")) {
        BrwOnLin::Abrir();
    } else if (clave == QLatin1String("cfg")) {
        // Browsers work on the state the dialog changes: close them first. An editor the user
        // keeps open (unsaved changes) keeps the dialog away.
        if (CerrarVentanas()) {
            Configurar::Activar(QString(), this);
            EmpezarEnvio();
        }
    } else if (clave == QLatin1String("fac")) {
        BrowFac::Abrir(std::nullopt, QDate::currentDate(), QDate::currentDate());
    } else if (clave == QLatin1String("alb")) {
        BrowAlb::Abrir(std::nullopt, QDate::currentDate(), QDate::currentDate());
    } else if (clave == QLatin1String("reg")) {
        RegistrosVerifactu::Abrir([envio = QPointer<verifactu::EnvioAutomatico>(m_envio.get())] {
            if (envio)
                envio->Despertar();
        });
    } else if (clave == QLatin1String("fin")) {
        close();
    }
}
