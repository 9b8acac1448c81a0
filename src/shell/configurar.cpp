#include "configurar.h"

#include "formato.h"
#include "global.h"
#include "utilidades.h"
#include "ventanas.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel* panel(QWidget* padre)
{
    auto* l = new QLabel(padre);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setMinimumHeight(22);
    return l;
}

}  // namespace

std::optional<double> LeerRecargo(const QString& texto)
{
    QString t = texto.trimmed();
    if (t.isEmpty())
        return 0.0;
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    static const QRegularExpression forma(QStringLiteral("^[0-9]{1,3}(,[0-9]*)?$|^,[0-9]+$"));
    if (!forma.match(t).hasMatch())
        return std::nullopt;
    const double v = QLocale(QLocale::Spanish, QLocale::Spain).toDouble(t.endsWith(QLatin1Char(',')) ? t.chopped(1) : t);
    if (v < 0 || v > 100)
        return std::nullopt;
    return v;
}

Configurar::Configurar(QWidget* padre) : QDialog(padre)
{
    setObjectName(QStringLiteral("Configurar"));
    setWindowTitle(QStringLiteral("Configuración"));
    auto* raiz = new QVBoxLayout(this);

    auto* kv = new QGroupBox(QStringLiteral("&Alojamiento de la Aplicación KV740"), this);
    auto* kvCaja = new QHBoxLayout(kv);
    lbHomeDir = panel(kv);
    lbHomeDir->setObjectName(QStringLiteral("lbHomeDir"));
    CambHome = new QPushButton(QStringLiteral("&Cambiar"), kv);
    CambHome->setObjectName(QStringLiteral("CambHome"));
    kvCaja->addWidget(lbHomeDir, 1);
    kvCaja->addWidget(CambHome);
    raiz->addWidget(kv);

    auto* grupo = new QGroupBox(QStringLiteral("&Grupo KV740 usado de referencia"), this);
    auto* g = new QGridLayout(grupo);
    LstGpos = new QComboBox(grupo);
    LstGpos->setObjectName(QStringLiteral("LstGpos"));
    g->addWidget(LstGpos, 0, 0, 1, 4);
    g->addWidget(new QLabel(QStringLiteral("Sección"), grupo), 1, 0);
    lbSecc = panel(grupo);
    lbSecc->setObjectName(QStringLiteral("lbSecc"));
    g->addWidget(lbSecc, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("Tarifa"), grupo), 1, 2);
    lbTarifa = panel(grupo);
    lbTarifa->setObjectName(QStringLiteral("lbTarifa"));
    g->addWidget(lbTarifa, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("Almacén"), grupo), 2, 0);
    lbAlma = panel(grupo);
    lbAlma->setObjectName(QStringLiteral("lbAlma"));
    g->addWidget(lbAlma, 2, 1, 1, 3);

    g->addWidget(new QLabel(QStringLiteral("IVA por departamentos"), grupo), 3, 0, 1, 4);
    grdIvas = new QTableWidget(1, 10, grupo);
    grdIvas->setObjectName(QStringLiteral("grdIvas"));
    grdIvas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdIvas->setFocusPolicy(Qt::NoFocus);
    grdIvas->verticalHeader()->hide();
    grdIvas->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grdIvas->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grdIvas->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList titulos;
    for (int d = 1; d <= 10; ++d)
        titulos << QString::number(d);
    grdIvas->setHorizontalHeaderLabels(titulos);
    grdIvas->setFixedHeight(grdIvas->horizontalHeader()->sizeHint().height() + grdIvas->rowHeight(0) + 4);
    g->addWidget(grdIvas, 4, 0, 1, 4);

    auto* etiquetaRecargos = new QLabel(QStringLiteral("Recargos de &Equivalencia"), grupo);
    g->addWidget(etiquetaRecargos, 5, 0, 1, 4);
    // One box under each department column of the grid.
    auto* recargos = new QHBoxLayout;
    recargos->setSpacing(0);
    for (int d = 1; d <= 10; ++d) {
        auto* t = new QLineEdit(grupo);
        t->setObjectName(QStringLiteral("txREq%1").arg(d));
        t->setAlignment(Qt::AlignRight);
        t->setMaxLength(6);
        t->installEventFilter(this);
        connect(t, &QLineEdit::textChanged, this, [this, d] { txREq_Change(d); });
        txREq[static_cast<size_t>(d)] = t;
        recargos->addWidget(t, 1);
    }
    g->addLayout(recargos, 6, 0, 1, 4);
    lbRecargo = new QLabel(grupo);
    lbRecargo->setObjectName(QStringLiteral("lbRecargo"));
    lbRecargo->setStyleSheet(QStringLiteral("color: #b00020"));
    lbRecargo->hide();
    g->addWidget(lbRecargo, 7, 0, 1, 4);
    etiquetaRecargos->setBuddy(txREq[1]);
    raiz->addWidget(grupo);

    auto* opciones = new QHBoxLayout;
    auto* precio = new QGroupBox(QStringLiteral("Usar precio"), this);
    auto* pc = new QVBoxLayout(precio);
    opBase = new QRadioButton(QStringLiteral("&Base"), precio);
    opHta1 = new QRadioButton(QStringLiteral("Hasta &1"), precio);
    opHta2 = new QRadioButton(QStringLiteral("Hasta &2"), precio);
    opBase->setObjectName(QStringLiteral("opBase"));
    opHta1->setObjectName(QStringLiteral("opHta1"));
    opHta2->setObjectName(QStringLiteral("opHta2"));
    for (QRadioButton* b : {opBase, opHta1, opHta2}) {
        pc->addWidget(b);
        connect(b, &QRadioButton::clicked, this, &Configurar::Precio_Click);
    }
    auto* iva = new QGroupBox(QStringLiteral("IVA en los documentos"), this);
    auto* ic = new QVBoxLayout(iva);
    opInclu = new QRadioButton(QStringLiteral("&Incluido"), iva);
    opDesgl = new QRadioButton(QStringLiteral("&Desglosado"), iva);
    opInclu->setObjectName(QStringLiteral("opInclu"));
    opDesgl->setObjectName(QStringLiteral("opDesgl"));
    for (QRadioButton* b : {opInclu, opDesgl}) {
        ic->addWidget(b);
        connect(b, &QRadioButton::clicked, this, &Configurar::IVA_Click);
    }
    // The listings' header beside the two choices, where the row has room for a whole name: the
    // dialog must still fit a 768-pixel screen.
    auto* empresa = new QGroupBox(QStringLiteral("Encabe&zamiento de listados"), this);
    auto* ec = new QVBoxLayout(empresa);
    txNombreEmpresa = new QLineEdit(empresa);
    txNombreEmpresa->setObjectName(QStringLiteral("txNombreEmpresa"));
    ec->addWidget(txNombreEmpresa);
    ec->addStretch();
    opciones->addWidget(precio, 1);
    opciones->addWidget(iva, 1);
    opciones->addWidget(empresa, 2);
    raiz->addLayout(opciones);

    auto* comercio = new QGroupBox(QStringLiteral("Datos del comercio (se imprimen en albaranes y facturas)"), this);
    auto* cc = new QGridLayout(comercio);
    auto campoComercio = [&](QLineEdit*& caja, const char* nombre, const QString& etiqueta, int largo, int fila, int col,
                             int ancho) {
        caja = new QLineEdit(comercio);
        caja->setObjectName(QLatin1String(nombre));
        caja->setMaxLength(largo);
        auto* l = new QLabel(etiqueta, comercio);
        l->setBuddy(caja);
        cc->addWidget(l, fila, col);
        cc->addWidget(caja, fila, col + 1, 1, ancho);
    };
    campoComercio(txComercioNombre, "txComercioNombre", QStringLiteral("&Nombre o razón social"), 120, 0, 0, 3);
    campoComercio(txComercioNIF, "txComercioNIF", QStringLiteral("N.I.&F."), 12, 0, 4, 1);
    campoComercio(txComercioDireccion, "txComercioDireccion", QStringLiteral("Di&rección"), 100, 1, 0, 3);
    campoComercio(txComercioCodPostal, "txComercioCodPostal", QStringLiteral("Código po&stal"), 10, 1, 4, 1);
    campoComercio(txComercioPoblacion, "txComercioPoblacion", QStringLiteral("P&oblación"), 50, 2, 0, 1);
    campoComercio(txComercioProvincia, "txComercioProvincia", QStringLiteral("Pro&vincia"), 50, 2, 2, 1);
    campoComercio(txComercioTelefono, "txComercioTelefono", QStringLiteral("&Teléfono"), 50, 2, 4, 1);
    raiz->addWidget(comercio);


    auto* verifactu = new QGroupBox(QStringLiteral("VERI*FACTU (facturas registradas para la Agencia Tributaria)"), this);
    verifactu->setObjectName(QStringLiteral("VERI*FACTU"));
    auto* vf = new QGridLayout(verifactu);
    chkVerifactu = new QCheckBox(QStringLiteral("&Usar el modo VERI*FACTU en esta base de datos"), verifactu);
    chkVerifactu->setObjectName(QStringLiteral("chkVerifactu"));
    chkVerifactu->setToolTip(QStringLiteral("Obligatorio para las facturas que se emitan desde 2027 (salvo País Vasco y "
                                            "Navarra). Al activarlo se explica lo que cambia."));
    vf->addWidget(chkVerifactu, 0, 0, 1, 3);
    auto* entorno = new QHBoxLayout;
    entorno->addStretch(1);
    entorno->addWidget(new QLabel(QStringLiteral("Envío:"), verifactu));
    opPruebas = new QRadioButton(QStringLiteral("pruebas"), verifactu);
    opProduccion = new QRadioButton(QStringLiteral("producción"), verifactu);
    opPruebas->setObjectName(QStringLiteral("opPruebas"));
    opProduccion->setObjectName(QStringLiteral("opProduccion"));
    auto* grupoEntorno = new QButtonGroup(verifactu);
    grupoEntorno->addButton(opPruebas);
    grupoEntorno->addButton(opProduccion);
    entorno->addWidget(opPruebas);
    entorno->addWidget(opProduccion);
    vf->addLayout(entorno, 0, 3, 1, 3);
    auto* lInstalacion = new QLabel(QStringLiteral("Nú&mero de instalación"), verifactu);
    txNumeroInstalacion = new QLineEdit(verifactu);
    txNumeroInstalacion->setObjectName(QStringLiteral("txNumeroInstalacion"));
    txNumeroInstalacion->setMaxLength(100);  // the record's NumeroInstalacion
    lInstalacion->setBuddy(txNumeroInstalacion);
    vf->addWidget(lInstalacion, 1, 0);
    vf->addWidget(txNumeroInstalacion, 1, 1);
    auto* lCertificado = new QLabel(QStringLiteral("Certificado"), verifactu);
    txCertificado = new QLineEdit(verifactu);
    txCertificado->setObjectName(QStringLiteral("txCertificado"));
    lCertificado->setBuddy(txCertificado);
    cmdCertificado = new QPushButton(QStringLiteral("E&xaminar..."), verifactu);
    cmdCertificado->setObjectName(QStringLiteral("cmdCertificado"));
    vf->addWidget(lCertificado, 1, 2);
    vf->addWidget(txCertificado, 1, 3, 1, 2);
    vf->addWidget(cmdCertificado, 1, 5);
    // Shown once the chain has begun: why the mode stays on.
    lbVerifactu = new QLabel(verifactu);
    lbVerifactu->setObjectName(QStringLiteral("lbVerifactu"));
    lbVerifactu->setWordWrap(true);
    lbVerifactu->hide();
    vf->addWidget(lbVerifactu, 2, 0, 1, 6);
    // A certificate's path is longer than an installation number.
    vf->setColumnStretch(1, 1);
    vf->setColumnStretch(3, 2);
    raiz->addWidget(verifactu);

    lbMotivo = new QLabel(this);
    lbMotivo->setObjectName(QStringLiteral("lbMotivo"));
    lbMotivo->setWordWrap(true);
    lbMotivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbMotivo->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    lbMotivo->hide();
    raiz->addWidget(lbMotivo);
    lbProbando = new QLabel(this);
    lbProbando->setObjectName(QStringLiteral("lbProbando"));
    lbProbando->setWordWrap(true);
    lbProbando->hide();
    raiz->addWidget(lbProbando);

    auto* botones = new QHBoxLayout;
    botones->addStretch();
    Acepto = new QPushButton(QStringLiteral("Ace&ptar"), this);
    Cancelo = new QPushButton(QStringLiteral("Cance&lar"), this);
    Acepto->setObjectName(QStringLiteral("Acepto"));
    Cancelo->setObjectName(QStringLiteral("Cancelo"));
    Acepto->setDefault(true);
    botones->addWidget(Acepto);
    botones->addWidget(Cancelo);
    raiz->addLayout(botones);

    connect(LstGpos, &QComboBox::activated, this, &Configurar::LstGpos_Click);
    connect(CambHome, &QPushButton::clicked, this, &Configurar::CambHome_Click);
    connect(Acepto, &QPushButton::clicked, this, &Configurar::Acepto_Click);
    connect(Cancelo, &QPushButton::clicked, this, &QDialog::reject);
    connect(chkVerifactu, &QCheckBox::clicked, this, &Configurar::chkVerifactu_Click);
    connect(cmdCertificado, &QPushButton::clicked, this, &Configurar::cmdCertificado_Click);

    // The listing header follows the shop's name unless the user made it something else.
    connect(txComercioNombre, &QLineEdit::textEdited, this, [this](const QString& nombre) {
        if (txNombreEmpresa->text().isEmpty() || txNombreEmpresa->text() == m_nombreComercio)
            txNombreEmpresa->setText(nombre);
        m_nombreComercio = nombre;
    });

    resize(640, 600);
    CargarDeBaseDatos();
    CargarComercio();
    CargarVerifactu();
    RestaurarVentana(this);
}

Configurar::~Configurar() = default;

bool Configurar::Activar(const QString& titulo, QWidget* padre, const QString& motivo)
{
    Configurar dialogo(padre);
    if (!titulo.isEmpty())
        dialogo.setWindowTitle(titulo);
    if (!motivo.isEmpty())
        dialogo.MostrarMotivo(motivo);
    dialogo.exec();
    return dialogo.aceptado();
}

void Configurar::MostrarMotivo(const QString& motivo)
{
    lbMotivo->setText(motivo);
    lbMotivo->setVisible(!motivo.isEmpty());
}

static bool baseLista() { return Global::BD && Global::BD->Abierta(); }

void Configurar::CargarDeBaseDatos()
{
    try {
        CargarGrupos();
        MostrarDatos();
    } catch (const motor::Error& e) {
        m_grupos.clear();
        LstGpos->clear();
        m_mostrando = false;
        MostrarMotivo(MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje()));
    }
}

void Configurar::done(int resultado)
{
    GuardarVentana(this);
    QDialog::done(resultado);
}

void Configurar::CargarGrupos()
{
    LstGpos->clear();
    m_grupos = Global::BD ? Global::BD->ListaGrupos() : std::vector<FilaGrupo>{};
    for (const FilaGrupo& f : m_grupos)
        LstGpos->addItem(NumeroConCeros(f.codgpo, 4) + QStringLiteral("   ") + f.NOMGPO);
}

void Configurar::MostrarDatos()
{
    m_mostrando = true;
    lbHomeDir->setText(Global::HomeDir);
    int elegido = -1;
    for (size_t i = 0; i < m_grupos.size(); ++i)
        if (m_grupos[i].codgpo == Global::Grupo)
            elegido = static_cast<int>(i);
    LstGpos->setCurrentIndex(elegido);
    // Only a group list read from a database may drop the stored group.
    if (elegido < 0 && baseLista()) {
        Global::Grupo = 0;
        if (Global::BD)
            Global::BD->DatosGrupo(0, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    }
    for (int d = 1; d <= 10; ++d) {
        const auto i = static_cast<size_t>(d);
        auto* celda = new QTableWidgetItem(Formato(static_cast<double>(Global::IVADepartamento[i]), QStringLiteral("#0.0")));
        celda->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grdIvas->setItem(0, d - 1, celda);
    }
    // No surcharge set at all (a first configuration): the legal one of each department's VAT
    // is proposed, so that a customer who pays it is never invoiced at 0 % unnoticed.
    if (elegido >= 0
        && std::all_of(Global::RecargoEquivalencia.begin() + 1, Global::RecargoEquivalencia.end(), [](float r) { return r == 0; }))
        for (int d = 1; d <= 10; ++d)
            Global::RecargoEquivalencia[static_cast<size_t>(d)] = RecargoLegal(Global::IVADepartamento[static_cast<size_t>(d)]);
    for (int d = 1; d <= 10; ++d) {
        const auto i = static_cast<size_t>(d);
        txREq[i]->setText(Formato(static_cast<double>(Global::RecargoEquivalencia[i]), QStringLiteral("0.0;-0.0;#")));
    }
    lbSecc->setText(Global::Seccion == 0 ? QString()
                                         : NumeroConCeros(Global::Seccion, 3) + QStringLiteral("   ")
                                               + (Global::BD ? Global::BD->NombreSeccion(Global::Seccion) : QString()));
    lbTarifa->setText(QString::number(Global::Tarifa));
    lbAlma->setText(Global::Almacen == 0 ? QString()
                                         : NumeroConCeros(Global::Almacen, 2) + QStringLiteral("   ")
                                               + (Global::BD ? Global::BD->NombreAlmacen(Global::Almacen) : QString()));
    opDesgl->setChecked(Global::IVADesglosado);
    opInclu->setChecked(!Global::IVADesglosado);
    (Global::Precio == 0 ? opBase : Global::Precio == 1 ? opHta1 : opHta2)->setChecked(true);
    txNombreEmpresa->setText(Global::NombreEmpresa);
    m_mostrando = false;
}

void Configurar::LstGpos_Click(int indice)
{
    if (indice < 0)
        return;
    Global::Grupo = AEntero16(Val(LstGpos->itemText(indice).section(QLatin1Char(' '), 0, 0)));
    try {
        if (Global::BD)
            Global::BD->DatosGrupo(Global::Grupo, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    } catch (const motor::Error& e) {
        MostrarMotivo(MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje()));
    }
    CargarDeBaseDatos();
}

void Configurar::Precio_Click() { Global::Precio = opBase->isChecked() ? 0 : opHta1->isChecked() ? 1 : 2; }

void Configurar::IVA_Click()
{
    const bool desglosado = opDesgl->isChecked();
    if (desglosado == Global::IVADesglosado)
        return;
    // The notes keep no trace of the setting they were written under: those still to be
    // invoiced (but the scale's, whose prices always hold the VAT) change value.
    qint32 pendientes = 0;
    try {
        pendientes = baseLista() ? Global::BD->ContarAlbaranesPendientes(std::nullopt, true) : 0;
    } catch (const motor::Error&) {
    }
    if (pendientes > 0) {
        QString cuales = pendientes == 1 ? QStringLiteral("Hay un albarán sin facturar: cambiará su importe")
                                         : QStringLiteral("Hay @N albaranes sin facturar: cambiará su importe");
        Reemplazar(QStringLiteral("@N"), QString::number(pendientes), cuales);
        const QString como = desglosado ? QStringLiteral("sus precios se tomarán sin IVA y el IVA se sumará al facturar")
                                        : QStringLiteral("sus precios se tomarán con el IVA incluido y se descontará al facturar");
        QMessageBox caja(QMessageBox::Warning, windowTitle(), cuales + QStringLiteral(", porque ") + como + QStringLiteral(".\n¿SEGURO?"),
                         QMessageBox::Ok | QMessageBox::Cancel, this);
        caja.setDefaultButton(QMessageBox::Cancel);
        if (caja.exec() != QMessageBox::Ok) {
            (Global::IVADesglosado ? opDesgl : opInclu)->setChecked(true);
            return;
        }
    }
    Global::IVADesglosado = desglosado;
}

void Configurar::txREq_Change(int departamento)
{
    if (m_mostrando)
        return;
    QLineEdit* caja = txREq[static_cast<size_t>(departamento)];
    if (caja->text().contains(QLatin1Char('.'))) {
        // A pasted point is the decimal mark: show it as the comma it means.
        const int cursor = caja->cursorPosition();
        caja->setText(caja->text().replace(QLatin1Char('.'), QLatin1Char(',')));  // comes back here
        caja->setCursorPosition(cursor);
        return;
    }
    const std::optional<double> v = LeerRecargo(caja->text());
    caja->setStyleSheet(v ? QString() : QStringLiteral("background: #ffd6d6"));
    if (v)
        Global::RecargoEquivalencia[static_cast<size_t>(departamento)] = static_cast<float>(*v);
    RecargosValidos();
}

bool Configurar::RecargosValidos()
{
    for (int d = 1; d <= 10; ++d) {
        if (LeerRecargo(txREq[static_cast<size_t>(d)]->text()))
            continue;
        lbRecargo->setText(QStringLiteral("El recargo del departamento %1 no es válido: escriba un porcentaje de 0 a "
                                          "100, con una coma para los decimales (por ejemplo, 5,2).")
                               .arg(d));
        lbRecargo->show();
        return false;
    }
    lbRecargo->hide();
    return true;
}

bool Configurar::eventFilter(QObject* objeto, QEvent* evento)
{
    int d = 0;
    for (int i = 1; i <= 10; ++i)
        if (objeto == txREq[static_cast<size_t>(i)])
            d = i;
    if (d == 0)
        return QDialog::eventFilter(objeto, evento);
    QLineEdit* caja = txREq[static_cast<size_t>(d)];
    if (evento->type() == QEvent::FocusIn) {
        // Select after the click that gave the focus has placed the caret.
        QMetaObject::invokeMethod(caja, [caja] { SeleccionarTexto(caja); }, Qt::QueuedConnection);
        return false;
    }
    if (evento->type() != QEvent::KeyPress)
        return false;
    auto* tecla = static_cast<QKeyEvent*>(evento);
    if (tecla->key() == Qt::Key_Left && caja->cursorPosition() == 0 && !caja->hasSelectedText() && d > 1) {
        txREq[static_cast<size_t>(d - 1)]->setFocus(Qt::OtherFocusReason);
        return true;
    }
    const int finSeleccion = caja->hasSelectedText() ? caja->selectionStart() + static_cast<int>(caja->selectedText().size())
                                                     : caja->cursorPosition();
    if (tecla->key() == Qt::Key_Right && finSeleccion == caja->text().size() && d < 10) {
        txREq[static_cast<size_t>(d + 1)]->setFocus(Qt::OtherFocusReason);
        return true;
    }
    const QString texto = tecla->text();
    // Either decimal mark, the keypad's included, writes the comma.
    if (texto == QLatin1String(".") || texto == QLatin1String(",") || tecla->key() == Qt::Key_Period
        || tecla->key() == Qt::Key_Comma) {
        if (!caja->text().remove(caja->selectedText()).contains(QLatin1Char(',')))
            caja->insert(QStringLiteral(","));
        return true;
    }
    if (texto.size() == 1) {
        int codigo = texto.at(0).unicode();
        // Digits and the decimal comma (the user's decimal separator).
        FiltrarTecla(codigo, QStringLiteral(",") + LocalNumeros().decimalPoint());
        if (codigo == 0)
            return true;
    }
    return false;
}

void Configurar::MostrarProbando(bool probando)
{
    if (probando) {
        lbProbando->setText(QStringLiteral("Probando la conexión con el servidor de la base de datos «%1»…")
                                .arg(motor::ConexionParaMostrar(Global::RutaBaseDatos)));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    lbProbando->setVisible(probando);
    for (QPushButton* b : {Acepto, Cancelo, CambHome})
        b->setEnabled(!probando);
    // Painted now: the connection that follows holds the event loop for up to a few seconds.
    if (probando)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool Configurar::ServidorResponde()
{
    if (!Global::BD || !Global::BD->Motor()->esPostgreSQL())
        return true;
    MostrarProbando(true);
    QString motivo;
    // A session the server dropped since is told by the first statement; the second connects again.
    for (int intento = 0; intento < 2; ++intento) {
        try {
            Global::BD->Motor()->valorUnico(QStringLiteral("SELECT 1"));
            motivo.clear();
            break;
        } catch (const motor::Error& e) {
            motivo = MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje());
        }
    }
    MostrarProbando(false);
    if (!motivo.isEmpty())
        MostrarMotivo(motivo);
    return motivo.isEmpty();
}

bool Configurar::UsarBaseDatos()
{
    QString motivo = MotivoSinBaseDatos();
    std::unique_ptr<BaseDatos> nueva;
    if (motivo.isEmpty()) {
        // A server may be slow to answer, or not answer at all (libpq gives up after a few seconds).
        const bool servidor = motor::EsConexionPostgreSQL(Global::RutaBaseDatos);
        if (servidor)
            MostrarProbando(true);
        nueva = PrepararBaseDatos(Global::RutaBaseDatos, motivo);
        if (servidor)
            MostrarProbando(false);
    }
    if (!nueva) {
        MostrarMotivo(motivo);
        return false;
    }
    Global::BD = std::move(nueva);  // the previous one closes
    MostrarMotivo(QString());
    try {
        Global::BD->DatosGrupo(Global::Grupo, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    } catch (const motor::Error& e) {
        MostrarMotivo(MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje()));
    }
    return true;
}

void Configurar::CambHome_Click()
{
    const auto elegir = elegirCarpeta ? elegirCarpeta : ElegirCarpeta;
    const QString carpeta = elegir(this, QString(), Global::HomeDir);
    if (carpeta.isEmpty())
        return;
    const QString homeAnterior = Global::HomeDir, rutaAnterior = Global::RutaBaseDatos;
    Global::HomeDir = carpeta;
    LeerConfiguracionKV740();
    if (!UsarBaseDatos() && baseLista()) {
        // The database in use stays, and so does the folder it came from.
        MostrarMotivo(lbMotivo->text() + QStringLiteral("\nSe sigue usando la base de datos de «%1».")
                                              .arg(QDir::toNativeSeparators(homeAnterior)));
        Global::HomeDir = homeAnterior;
        Global::RutaBaseDatos = rutaAnterior;
    }
    lbHomeDir->setText(Global::HomeDir);
    CargarDeBaseDatos();
    CargarComercio();
    CargarVerifactu();
    update();
}

void Configurar::Acepto_Click()
{
    if (!RecargosValidos()) {
        for (int d = 1; d <= 10; ++d)
            if (!LeerRecargo(txREq[static_cast<size_t>(d)]->text()))
                txREq[static_cast<size_t>(d)]->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Nothing is saved without a database ready for the program; the other program may have let go of it.
    if (!baseLista()) {
        if (Global::RutaBaseDatos.isEmpty() || !UsarBaseDatos()) {
            if (lbMotivo->text().isEmpty() || Global::RutaBaseDatos.isEmpty())
                MostrarMotivo(MotivoSinBaseDatos());
            return;
        }
        CargarDeBaseDatos();
    } else if (!ServidorResponde()) {
        return;
    }
    if (LstGpos->currentIndex() < 0) {
        // Without a group every department has VAT 0 and no article is found.
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("Elija el grupo KV740 de la tienda: sin grupo, todos los departamentos tienen "
                                             "IVA 0 y no se encuentra ningún artículo."));
        LstGpos->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (Global::BD && Global::BD->VersionAlmacenes() && Global::Almacen == 0) {
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("Si la versión KV740 es 3 o superior, el grupo debe tener un almacén definido"));
        return;
    }
    if (chkVerifactu->isChecked() && (txComercioNIF->text().trimmed().isEmpty() || txComercioNombre->text().trimmed().isEmpty())) {
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("En modo VERI*FACTU el emisor de las facturas es el comercio: escriba su N.I.F. y su "
                                             "nombre o razón social en «Datos del comercio»."));
        (txComercioNIF->text().trimmed().isEmpty() ? txComercioNIF : txComercioNombre)->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!GuardarComercio() || !GuardarVerifactu())
        return;
    Global::NombreEmpresa = txNombreEmpresa->text();
    const QString fallo = GuardarConfiguracion();
    if (!fallo.isEmpty())
        QMessageBox::warning(this, windowTitle(),
                             fallo + QStringLiteral("\n\nLa configuración elegida se usa hasta que cierre el programa, "
                                                   "pero no se ha guardado."));
    m_aceptado = true;
    accept();
}

void Configurar::CargarComercio()
{
    DatosComercio d;
    try {
        if (baseLista())
            d = Global::BD->LeerComercio();
    } catch (const motor::Error& e) {
        MostrarMotivo(MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje()));
    }
    txComercioNombre->setText(d.Nombre);
    txComercioNIF->setText(d.NIF);
    txComercioDireccion->setText(d.Direccion);
    txComercioCodPostal->setText(d.CodPostal);
    txComercioPoblacion->setText(d.Poblacion);
    txComercioProvincia->setText(d.Provincia);
    txComercioTelefono->setText(d.Telefono);
    m_nombreComercio = d.Nombre;
}

bool Configurar::GuardarComercio()
{
    DatosComercio d{txComercioNombre->text(),    txComercioNIF->text(),       txComercioDireccion->text(),
                    txComercioCodPostal->text(), txComercioPoblacion->text(), txComercioProvincia->text(),
                    txComercioTelefono->text()};
    if (!d.NIF.trimmed().isEmpty()) {
        const std::optional<QString> nif = NIFValido(d.NIF);
        if (!nif) {
            QMessageBox::critical(this, windowTitle(),
                                  QStringLiteral("El N.I.F. del comercio no es válido: compruebe sus números y la letra "
                                                 "o el dígito de control del final."));
            txComercioNIF->setFocus(Qt::OtherFocusReason);
            return false;
        }
        d.NIF = *nif;
        txComercioNIF->setText(*nif);
    }
    try {
        if (Global::BD->LeerComercio() != d)
            Global::BD->GuardarComercio(d);
    } catch (const motor::Error& e) {
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("No se pudieron guardar los datos del comercio.\n") + motor::TextoParaUsuario(e));
        return false;
    }
    return true;
}
namespace {

const QString kQueCambia = QStringLiteral(
    "Con el modo VERI*FACTU, cada factura que se emite (desde su editor o en la facturación de albaranes) guarda su "
    "registro de facturación encadenado con huella, como exige la Agencia Tributaria, y se imprime con su código QR.\n\n"
    "Una factura emitida ya no se puede modificar ni borrar: sólo se registran sus pagos. Un error se corrige con una "
    "factura rectificativa, o anulando la factura emitida por equivocación.\n\n"
    "El emisor de las facturas es el comercio (su N.I.F. y razón social). Una vez guardado el primer registro, el modo "
    "ya no se puede desactivar en esta base de datos, en ningún puesto.");
const QString kNoSeDesactiva = QStringLiteral(
    "Esta base de datos ya tiene registros de facturación: el modo VERI*FACTU no se puede desactivar, porque la cadena "
    "de registros debe continuar.");

}  // namespace

void Configurar::CargarVerifactu()
{
    AjustesVerifactu a;
    m_hayRegistros = false;
    try {
        if (baseLista()) {
            a = Global::BD->LeerVerifactu();
            m_hayRegistros = Global::BD->UltimoRegistro().has_value();
        }
    } catch (const motor::Error& e) {
        MostrarMotivo(MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje()));
    }
    chkVerifactu->setChecked(a.Activo || m_hayRegistros);
    txNumeroInstalacion->setText(a.NumeroInstalacion);
    (a.Pruebas ? opPruebas : opProduccion)->setChecked(true);
    txCertificado->setText(a.Certificado);
    lbVerifactu->setText(m_hayRegistros ? kNoSeDesactiva : QString());
    lbVerifactu->setVisible(m_hayRegistros);
}

void Configurar::chkVerifactu_Click(bool activo)
{
    if (!activo && m_hayRegistros) {
        chkVerifactu->setChecked(true);
        QMessageBox::information(this, windowTitle(), kNoSeDesactiva);
        return;
    }
    if (!activo)
        return;
    QMessageBox caja(QMessageBox::Question, windowTitle(), kQueCambia + QStringLiteral("\n\n¿Activar el modo VERI*FACTU?"),
                     QMessageBox::Yes | QMessageBox::No, this);
    caja.setDefaultButton(QMessageBox::No);
    if (caja.exec() != QMessageBox::Yes)
        chkVerifactu->setChecked(false);
}

void Configurar::cmdCertificado_Click()
{
    const auto elegir = elegirCertificado ? elegirCertificado : [](QWidget* padre, const QString& actual) {
        return QFileDialog::getOpenFileName(padre, QStringLiteral("Certificado para enviar los registros"), actual,
                                            QStringLiteral("Certificados (*.p12 *.pfx *.pem);;Todos los archivos (*)"));
    };
    const QString archivo = elegir(this, txCertificado->text());
    if (!archivo.isEmpty())
        txCertificado->setText(QDir::toNativeSeparators(archivo));
}

AjustesVerifactu Configurar::AjustesMostrados() const
{
    AjustesVerifactu a;
    a.Activo = chkVerifactu->isChecked();
    a.NIF = txComercioNIF->text().trimmed();
    a.NombreRazon = txComercioNombre->text().trimmed();
    a.NumeroInstalacion = txNumeroInstalacion->text().trimmed();
    a.Certificado = txCertificado->text().trimmed();
    a.Pruebas = opPruebas->isChecked();
    return a;
}

bool Configurar::GuardarVerifactu()
{
    try {
        const AjustesVerifactu a = AjustesMostrados();
        AjustesVerifactu guardados = Global::BD->LeerVerifactu();
        guardados.NIF = a.NIF;  // the issuer was written with the shop's data
        guardados.NombreRazon = a.NombreRazon;
        if (guardados != a)
            Global::BD->GuardarVerifactu(a);
    } catch (const motor::Error& e) {
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("No se pudo guardar el modo VERI*FACTU.\n") + motor::TextoParaUsuario(e));
        CargarVerifactu();
        return false;
    }
    return true;
}
