#include "uncliente.h"

#include "factura.h"
#include "formato.h"
#include "global.h"
#include "navegador.h"
#include "utilidades.h"
#include "ventanas.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString kTitulo = QStringLiteral("Datos de un cliente");
const QString kFormatoDescuento = QStringLiteral("#0.0;-#0.0;#");
const QString kErrorGuardar = QStringLiteral("Error al guardar los datos.\nPosiblemente hay códigos duplicados.");
const QString kDescuentoFueraDeRango =
    QStringLiteral("El descuento ha de estar entre 0 y 100.\nEscriba otro porcentaje o deje la casilla vacía.");

// The text the box would hold after typing `tecla` where its caret or selection is.
QString TextoTrasTecla(const QLineEdit* caja, const QString& tecla)
{
    QString t = caja->text();
    int pos = caja->cursorPosition();
    if (caja->hasSelectedText()) {
        pos = caja->selectionStart();
        t.remove(pos, static_cast<int>(caja->selectedText().size()));
    }
    return t.insert(pos, tecla);
}

bool DescuentoValido(float d) { return d >= 0.0f && d <= 100.0f; }

}  // namespace

std::optional<float> LeerDescuento(const QString& texto)
{
    static const QRegularExpression numero(QStringLiteral("^(\\d+([.,]\\d*)?|[.,]\\d+)$"));
    const QString t = texto.trimmed();
    if (!numero.match(t).hasMatch())
        return std::nullopt;
    return QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toFloat();
}

UnCliente::UnCliente(QWidget* padre) : QWidget(padre)
{
    setObjectName(QStringLiteral("UnCliente"));
    setWindowTitle(kTitulo);

    // Lengths are those of the stored columns: the store would refuse anything longer.
    txCodigo = campo("txCodigo", 9);
    txNombre = campo("txNombre", 50);
    txNIF = campo("txNIF", 12);
    txDireccion1 = campo("txDireccion1", 50);
    txDireccion2 = campo("txDireccion2", 50);
    txDireccion3 = campo("txDireccion3", 50);
    txCodPostal = campo("txCodPostal", 6);
    txPoblacion = campo("txPoblacion", 40);
    txProvincia = campo("txProvincia", 40);
    txTelefono1 = campo("txTelefono1", 50);
    txTelefono2 = campo("txTelefono2", 50);
    txEmail = campo("txEmail", 50);
    txDescto = campo("txDescto", 7);
    txCodigo->setMaximumWidth(txCodigo->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    txCodPostal->setMaximumWidth(txCodPostal->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
    txDescto->setMaximumWidth(txDescto->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
    txDescto->setAlignment(Qt::AlignRight);

    ckUsaREq = new QCheckBox(QStringLiteral("Usa Rec. &Equ."), this);
    ckUsaREq->setObjectName(QStringLiteral("ckUsaREq"));
    connect(ckUsaREq, &QCheckBox::toggled, this, [this] { m_cambios = true; });

    Acepta = new QPushButton(QStringLiteral("Confirmar y guardar"), this);
    Acepta->setObjectName(QStringLiteral("Acepta"));
    Cancela = new QPushButton(QStringLiteral("Cancelar edición"), this);
    Cancela->setObjectName(QStringLiteral("Cancela"));
    // Enter saves and Escape cancels, as in a dialog (see keyPressEvent); the frame shows which.
    Acepta->setDefault(true);
    Acepta->setAutoDefault(false);
    Cancela->setAutoDefault(false);
    connect(Acepta, &QPushButton::clicked, this, &UnCliente::Acepta_Click);
    connect(Cancela, &QPushButton::clicked, this, &UnCliente::Cancela_Click);

    auto* g = new QGridLayout(this);
    int fila = 0;
    auto etiqueta = [&](const char* nombre, const QString& texto, QWidget* companero) {
        auto* l = new QLabel(texto, this);
        l->setObjectName(QString::fromLatin1(nombre));
        l->setBuddy(companero);
        g->addWidget(l, fila, 0);
        return l;
    };
    auto enLinea = [&](std::initializer_list<QWidget*> controles, bool estirar) {
        auto* h = new QHBoxLayout;
        for (QWidget* w : controles)
            h->addWidget(w);
        if (estirar)
            h->addStretch();
        g->addLayout(h, fila++, 1);
    };
    etiqueta("lbCodigo", QStringLiteral("&Código"), txCodigo);
    enLinea({txCodigo}, true);
    etiqueta("lbNombre", QStringLiteral("N&ombre"), txNombre);
    g->addWidget(txNombre, fila++, 1);
    etiqueta("lbNIF", QStringLiteral("&N.I.F."), txNIF);
    enLinea({txNIF}, true);
    etiqueta("lbDireccion", QStringLiteral("&Dirección postal"), txDireccion1);
    for (QLineEdit* d : {txDireccion1, txDireccion2, txDireccion3})
        g->addWidget(d, fila++, 1);
    enLinea({txCodPostal, txPoblacion}, false);
    etiqueta("lbProvincia", QStringLiteral("&Provincia / País"), txProvincia);
    g->addWidget(txProvincia, fila++, 1);
    etiqueta("lbTelefonos", QStringLiteral("&Teléfonos"), txTelefono1);
    enLinea({txTelefono1, txTelefono2}, false);
    etiqueta("lbEmail", QStringLiteral("E-&mail"), txEmail);
    g->addWidget(txEmail, fila++, 1);
    etiqueta("lbDescto", QStringLiteral("% De&scuento aplicable:"), txDescto);
    enLinea({txDescto, ckUsaREq}, true);
    lbDesctoPendientes = new QLabel(this);
    lbDesctoPendientes->setObjectName(QStringLiteral("lbDesctoPendientes"));
    lbDesctoPendientes->setWordWrap(true);
    lbDesctoPendientes->hide();
    g->addWidget(lbDesctoPendientes, fila++, 1);
    connect(txDescto, &QLineEdit::textChanged, this, &UnCliente::AvisarDescuento);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(Acepta);
    botones->addWidget(Cancela);
    g->addLayout(botones, fila++, 0, 1, 2);
    g->setRowStretch(fila, 1);
}

void UnCliente::AvisarDescuento()
{
    // An invoiced note keeps the discount of its invoice; the pending ones follow the customer.
    const bool cambia = m_pendientes > 0 && txDescto->text() != m_descuentoLeido;
    if (cambia)
        lbDesctoPendientes->setText(
            m_pendientes == 1
                ? QStringLiteral("Su albarán sin facturar tomará el nuevo descuento (los facturados conservan el de su factura).")
                : QStringLiteral("Sus %1 albaranes sin facturar tomarán el nuevo descuento (los facturados conservan el de su "
                                 "factura).")
                      .arg(m_pendientes));
    lbDesctoPendientes->setVisible(cambia);
}

QLineEdit* UnCliente::campo(const char* nombre, int largo)
{
    auto* c = new QLineEdit(this);
    c->setObjectName(QString::fromLatin1(nombre));
    c->setMaxLength(largo);
    c->installEventFilter(this);
    connect(c, &QLineEdit::textChanged, this, [this] { m_cambios = true; });
    return c;
}

bool UnCliente::Editar(std::optional<qint32> codigo)
{
    if (!codigo) {
        m_codigo = 0;
        try {
            txCodigo->setText(Global::BD ? QString::number(Global::BD->NuevoCodCli()) : QStringLiteral("1"));
        } catch (const motor::Error& e) {
            // The codes are used up, or the database cannot be read: the user types a free one.
            txCodigo->clear();
            Avisar(motor::TextoParaUsuario(e), false);
        }
        // A new customer always counts as changed: cancelling it asks first.
    } else {
        Coleccion campos;
        try {
            if (!Global::BD || !Global::BD->ConsultaCliente(*codigo, campos))
                return false;
        } catch (const std::exception&) {
            return false;
        }
        m_codigo = *codigo;
        m_leidos = campos;
        auto texto = [&](const char* columna) { return CampoATexto(campos.valor(QString::fromLatin1(columna))); };
        txCodigo->setText(QString::number(*codigo));
        txNIF->setText(texto("NIF"));
        ckUsaREq->setChecked(campos.valor(QStringLiteral("UsaREq")).aBooleano());
        txDescto->setText(Formato(campos.valor(QStringLiteral("Descuento")), kFormatoDescuento));
        txNombre->setText(texto("Nombre"));
        txDireccion1->setText(texto("Direccion1"));
        txDireccion2->setText(texto("Direccion2"));
        txDireccion3->setText(texto("Direccion3"));
        txCodPostal->setText(texto("CodPostal"));
        txPoblacion->setText(texto("Poblacion"));
        txProvincia->setText(texto("Provincia"));
        txTelefono1->setText(texto("Telefono1"));
        txTelefono2->setText(texto("Telefono2"));
        txEmail->setText(texto("Email"));
        m_descuentoLeido = txDescto->text();
        try {
            m_pendientes = Global::BD->ContarAlbaranesPendientes(*codigo);
        } catch (const motor::Error&) {
            m_pendientes = 0;
        }
        m_cambios = false;
    }
    MostrarVentana(this);
    txNombre->setFocus();
    return true;
}

void UnCliente::Acepta_Click()
{
    const QString cod = txCodigo->text().trimmed();
    static const QRegularExpression digitos(QStringLiteral("^\\d{1,9}$"));
    if (!digitos.match(cod).hasMatch())
        return;
    const std::optional<float> descuento = LeerDescuento(txDescto->text());
    if (descuento && !DescuentoValido(*descuento)) {
        Avisar(kDescuentoFueraDeRango, false);
        txDescto->setFocus();
        return;
    }
    if (txNombre->text().trimmed().isEmpty()) {
        Avisar(QStringLiteral("Falta el nombre del cliente: escríbalo y vuelva a guardar."), false);
        txNombre->setFocus();
        return;
    }
    // A wrong control character is a typing slip most of the time: said, and kept only when asked.
    QString nif = txNIF->text().trimmed();
    if (!nif.isEmpty()) {
        if (const std::optional<QString> valido = NIFValido(nif)) {
            nif = *valido;
        } else if (!NifAdmisible(nif) && !PreguntarSiNo(QStringLiteral("El N.I.F. %1 no es correcto: su carácter de control no cuadra.\n"
                                                 "No se podrán hacer facturas a este cliente hasta corregirlo.\n"
                                                 "¿Guardar el cliente así?")
                                      .arg(nif))) {
            txNIF->setFocus();
            return;
        }
    }
    const qint32 codigo = cod.toInt();
    Coleccion c;
    c.fijar(QStringLiteral("Codigo"), Valor(static_cast<qint64>(codigo)));
    c.fijar(QStringLiteral("NIF"), nif);
    c.fijar(QStringLiteral("UsaREq"), ckUsaREq->isChecked());
    c.fijar(QStringLiteral("Descuento"), Valor(descuento.value_or(0.0f)));
    c.fijar(QStringLiteral("Nombre"), txNombre->text());
    c.fijar(QStringLiteral("Direccion1"), txDireccion1->text());
    c.fijar(QStringLiteral("Direccion2"), txDireccion2->text());
    c.fijar(QStringLiteral("Direccion3"), txDireccion3->text());
    c.fijar(QStringLiteral("CodPostal"), txCodPostal->text());
    c.fijar(QStringLiteral("Poblacion"), txPoblacion->text());
    c.fijar(QStringLiteral("Provincia"), txProvincia->text());
    c.fijar(QStringLiteral("Telefono1"), txTelefono1->text());
    c.fijar(QStringLiteral("Telefono2"), txTelefono2->text());
    c.fijar(QStringLiteral("Email"), txEmail->text());

    bool guardado = false;
    QString motivo = kErrorGuardar;
    try {
        // A stored customer may get another code: the relations carry it to its notes and invoices.
        guardado = Global::BD
            && (m_codigo == 0 ? Global::BD->NuevoCliente(codigo, c) : Global::BD->ActualizarCliente(m_codigo, c, &m_leidos));
    } catch (const motor::Error& e) {
        // The store's own refusals (a NUL in a text) say exactly what to mend.
        if (e.codigoSqlite() == 0)
            motivo = motor::TextoParaUsuario(e);
    } catch (const std::exception&) {
        guardado = false;
    }
    if (!guardado) {
        Avisar(motivo, true);
        return;
    }
    if (NavegadorDocumentos* b = Navegadores::clientes)
        b->Refresco(codigo);
    // The note and invoice lists show a stored customer's code and name.
    if (m_codigo != 0) {
        ReleerSiCargado(Navegadores::albaranes);
        ReleerSiCargado(Navegadores::facturas);
    }
    m_cerrar = true;
    CerrarVentana(this);
}

void UnCliente::Cancela_Click()
{
    if (m_cambios && !Preguntar(QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")))
        return;
    m_cerrar = true;
    if (!CerrarVentana(this))
        m_cerrar = false;
}

void UnCliente::closeEvent(QCloseEvent* evento)
{
    // Closing the window by its frame or with its browser loses typed changes just as
    // "Cancelar edición" does, so it asks the same question.
    if (!m_cerrar && m_cambios && isVisible() && !Preguntar(QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?"))) {
        evento->ignore();
        return;
    }
    m_cerrar = true;
    evento->accept();
    if (NavegadorDocumentos* b = Navegadores::clientes)
        b->QuitarHijo(m_codigo);
}

bool UnCliente::eventFilter(QObject* objeto, QEvent* evento)
{
    auto* caja = qobject_cast<QLineEdit*>(objeto);
    if (!caja)
        return QWidget::eventFilter(objeto, evento);
    if (evento->type() == QEvent::FocusIn) {
        // After the click that gave the focus, which would place the caret.
        QTimer::singleShot(0, caja, [caja] { SeleccionarTexto(caja); });
    } else if (evento->type() == QEvent::KeyPress && (caja == txCodigo || caja == txDescto)) {
        const auto* k = static_cast<QKeyEvent*>(evento);
        if (k->text().isEmpty() || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        int tecla = k->text().at(0).unicode();
        FiltrarTecla(tecla, caja == txDescto ? QStringLiteral(",.") : QString());
        if (tecla == 0)
            return true;
        if (caja == txDescto && tecla >= 32) {
            const auto d = LeerDescuento(TextoTrasTecla(caja, k->text()));
            if (d && !DescuentoValido(*d)) {
                Avisar(kDescuentoFueraDeRango, false);
                return true;
            }
        }
    }
    return false;
}

void UnCliente::keyPressEvent(QKeyEvent* evento)
{
    const int k = evento->key();
    const bool sinModificador = !(evento->modifiers() & ~Qt::KeypadModifier);
    if ((k == Qt::Key_Return || k == Qt::Key_Enter) && sinModificador) {
        evento->accept();
        // Enter on the focused "Cancelar edición" means that button.
        if (focusWidget() == Cancela)
            Cancela_Click();
        else
            Acepta_Click();
        return;
    }
    if (k == Qt::Key_Escape && sinModificador) {
        evento->accept();
        Cancela_Click();
        return;
    }
    QWidget::keyPressEvent(evento);
}

bool UnCliente::Preguntar(const QString& texto)
{
    QMessageBox caja(QMessageBox::Warning, kTitulo, texto, QMessageBox::Ok | QMessageBox::Cancel, this);
    caja.setDefaultButton(QMessageBox::Cancel);  // Enter keeps what was typed
    return caja.exec() == QMessageBox::Ok;
}

bool UnCliente::PreguntarSiNo(const QString& texto)
{
    QMessageBox caja(QMessageBox::Warning, kTitulo, texto, QMessageBox::Yes | QMessageBox::No, this);
    caja.setDefaultButton(QMessageBox::No);
    return caja.exec() == QMessageBox::Yes;
}

void UnCliente::Avisar(const QString& texto, bool critico)
{
    QMessageBox caja(critico ? QMessageBox::Critical : QMessageBox::Warning, kTitulo, texto, QMessageBox::Ok, this);
    caja.exec();
}
