#include "navegadorbase.h"

#include "global.h"
#include "impresion.h"
#include "motor.h"
#include "listafilas.h"
#include "utilidades.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

NavegadorBase::NavegadorBase(const QString& nombre, const QString& titulo, NavegadorDocumentos*& ranura, QWidget* padre)
    : QWidget(padre), m_ranura(ranura)
{
    setObjectName(nombre);
    setWindowTitle(titulo);

    auto* etiqueta = [this](const QString& texto) { return new QLabel(texto, this); }(QStringLiteral("Fechas:"));
    lbFch = new QLabel(this);
    lbFch->setObjectName(QStringLiteral("lbFch"));
    auto* etiquetaCli = new QLabel(QStringLiteral("Cliente:"), this);
    lbCli = new QLabel(this);
    lbCli->setObjectName(QStringLiteral("lbCli"));
    for (QLabel* l : {lbFch, lbCli})
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* filtros = new QGridLayout;
    filtros->addWidget(etiqueta, 0, 0);
    filtros->addWidget(lbFch, 0, 1);
    filtros->addWidget(etiquetaCli, 1, 0);
    filtros->addWidget(lbCli, 1, 1);
    filtros->setColumnStretch(1, 1);

    Filtrar = new QPushButton(QStringLiteral("Filtrar"), this);
    Filtrar->setObjectName(QStringLiteral("Filtrar"));
    Filtrar->setAutoDefault(false);
    Tim = new QTimer(this);
    Tim->setObjectName(QStringLiteral("Tim"));
    Tim->setSingleShot(true);
    Tim->setInterval(10);

    // The filter above, the buttons below: on one row they would not fit a small screen.
    auto* cabeza = new QHBoxLayout;
    cabeza->addWidget(Filtrar);
    cabeza->addLayout(filtros, 1);
    m_botonera = new QHBoxLayout;

    Grd = new ListaFilas(this);
    Grd->setObjectName(QStringLiteral("Grd"));
    Grd->installEventFilter(this);
    Grd->viewport()->installEventFilter(this);

    MnAcciones = new QMenu(QStringLiteral("Acciones"), this);
    MnAcciones->setObjectName(QStringLiteral("MnAcciones"));

    auto* capa = new QVBoxLayout(this);
    capa->addLayout(cabeza);
    capa->addLayout(m_botonera);
    capa->addWidget(Grd, 1);

    connect(Filtrar, &QPushButton::clicked, this, &NavegadorBase::PulsarFiltrar);
    connect(Tim, &QTimer::timeout, this, &NavegadorBase::EditarFiltro);
    connect(Grd, &ListaFilas::dobleClic, this, [this] { AbrirActual(); });
    connect(Grd, &ListaFilas::menuPedido, this, [this](int, const QPoint& global) { MenuContextual(global); });
    resize(700, 420);
}

NavegadorBase::~NavegadorBase()
{
    if (m_ranura == this)
        m_ranura = nullptr;
}

QPushButton* NavegadorBase::AnadirBoton(const char* nombre, const QString& texto)
{
    auto* b = new QPushButton(texto, this);
    b->setObjectName(QString::fromLatin1(nombre));
    b->setAutoDefault(false);
    m_botonera->addWidget(b);
    return b;
}

void NavegadorBase::ImprimirActual(std::optional<int> copias)
{
    const auto numero = NumeroActual();
    if (!numero || !Global::BD || EnEdicion(*numero, QStringLiteral("imprimir")))
        return;
    if (!copias)
        copias = PedirCopias(this);
    if (!copias)
        return;
    if (const QString motivo = ImprimirDocumento(*numero, *copias); !motivo.isEmpty())
        Mensaje(motivo, QMessageBox::Critical);
}

void NavegadorBase::Cargar()
{
    m_cargado = true;
    m_ranura = this;
    const bool sinLugar = !LeerPosicionVentana(objectName()).has_value();
    RestaurarVentana(this);
    Refresco(std::nullopt);
    if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->show();
    else
        show();
    // At its default size the list shows every column; a stored place, or a smaller main
    // window, may still make it narrower.
    if (sinLugar) {
        layout()->activate();
        const int falta = Grd->horizontalHeader()->length() - Grd->viewport()->width();
        QWidget* marco = qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : this;
        if (falta > 0) {
            marco->resize(marco->width() + falta, marco->height());
            EncajarEnArea(marco);
        }
    }
    TraerAlFrente(this);
    Grd->setFocus(Qt::OtherFocusReason);
}

void NavegadorBase::closeEvent(QCloseEvent* evento)
{
    // Editors go with their browser; one that refuses to close keeps the browser open. An
    // editor that closes takes itself out of m_hijos, so walk a copy.
    std::vector<QPointer<QWidget>> hijos;
    for (const auto& par : m_hijos)
        hijos.push_back(par.second);
    for (const QPointer<QWidget>& hijo : hijos) {
        if (!hijo)
            continue;
        QWidget* ventana = qobject_cast<QMdiSubWindow*>(hijo->parentWidget()) ? hijo->parentWidget() : hijo.data();
        if (!ventana->close()) {
            evento->ignore();
            return;
        }
    }
    m_hijos.clear();
    if (m_cargado)
        GuardarVentana(this);
    m_cargado = false;
    if (m_ranura == this)
        m_ranura = nullptr;
    evento->accept();
}

void NavegadorBase::Refresco(std::optional<long> numero)
{
    lbCli->setText(TextoFiltroCliente(m_filtro.cliente));
    lbFch->setText(TextoFiltroFechas(m_filtro.desde, m_filtro.hasta));
    const int anterior = std::max(Grd->Row(), 1);
    try {
        Leer();
    } catch (const motor::Error& e) {
        Grd->Cargar(0, {});
        Mensaje(QStringLiteral("Error al leer la lista.\n") + motor::TextoParaUsuario(e),
                QMessageBox::Critical);
        return;
    }
    m_alFinal = false;
    try {
        // The row to keep, or the document asked for, may not have come yet.
        while (Incompleta() && Grd->Rows() - 1 < anterior)
            LeerMas();
        if (Grd->Rows() <= 1)
            return;
        int fila = std::min(anterior, Grd->Rows() - 1);
        if (numero) {
            // The list is in number order for notes; invoices come by series and number too.
            for (int f = 1;; ++f) {
                if (f >= Grd->Rows()) {
                    if (!Incompleta())
                        break;
                    LeerMas();
                    if (f >= Grd->Rows())
                        break;
                }
                if (NumeroDeFila(f) == *numero) {
                    fila = f;
                    break;
                }
            }
        }
        Grd->setCelda(fila, 0);
    } catch (const motor::Error& e) {
        Mensaje(QStringLiteral("Error al leer la lista.\n") + motor::TextoParaUsuario(e), QMessageBox::Critical);
    }
}

void NavegadorBase::FilasLlegadas()
{
    if (m_alFinal && !Incompleta()) {
        m_alFinal = false;
        if (Grd->Rows() > 1)
            Grd->setCelda(Grd->Rows() - 1, Grd->Col());
    }
}

void NavegadorBase::RefrescarFila(long numero)
{
    const int antes = Grd->Row();
    std::optional<int> fila;
    try {
        fila = LeerFila(numero);
    } catch (const motor::Error&) {
        fila.reset();
    }
    if (!fila) {
        Refresco(numero);
        return;
    }
    // A row that left the list leaves the selection on the row number it had, as Refresco does.
    if (*fila > 0)
        Grd->setCelda(*fila, 0);
    else if (Grd->Rows() > 1)
        Grd->setCelda(std::clamp(antes, 1, Grd->Rows() - 1), 0);
}

void NavegadorBase::Releer()
{
    Refresco(NumeroActual());
}

std::optional<long> NavegadorBase::NumeroActual() const
{
    return NumeroDeFila(Grd->Row());
}

QString NavegadorBase::ClaveHijo(long numero) const { return NumeroConCeros(numero, 6); }

void NavegadorBase::QuitarClave(const QString& clave) { m_hijos.erase(clave); }

QWidget* NavegadorBase::Hijo(long numero) const
{
    const auto i = m_hijos.find(ClaveHijo(numero));
    return i == m_hijos.end() ? nullptr : i->second.data();
}

bool NavegadorBase::AnadirHijo(long numero, QWidget* editor)
{
    if (!editor)
        return false;
    m_hijos[ClaveHijo(numero)] = editor;
    return true;
}

bool NavegadorBase::MostrarHijo(long numero)
{
    QWidget* hijo = Hijo(numero);
    if (!hijo)
        return false;
    TraerAlFrente(hijo);
    return true;
}

void NavegadorBase::QuitarHijo(long numero)
{
    m_hijos.erase(ClaveHijo(numero));
}

void NavegadorBase::HijoNumerado(long numero)
{
    const auto nuevo = m_hijos.find(ClaveHijo(0));
    if (nuevo == m_hijos.end())
        return;
    QPointer<QWidget> editor = nuevo->second;
    m_hijos.erase(nuevo);
    if (editor)
        m_hijos[ClaveHijo(numero)] = editor;
}

void NavegadorBase::TraerAlFrente(QWidget* ventana)
{
    if (auto* marco = qobject_cast<QMdiSubWindow*>(ventana->parentWidget())) {
        if (marco->isMinimized())
            marco->showNormal();
        if (QMdiArea* area = marco->mdiArea())
            area->setActiveSubWindow(marco);
        marco->raise();
    } else {
        ventana->raise();
        ventana->activateWindow();
    }
}

void NavegadorBase::Mensaje(const QString& texto, int icono)
{
    MensajeSobreRejilla(Grd, texto, QMessageBox::Ok, static_cast<QMessageBox::Icon>(icono), windowTitle());
}

bool NavegadorBase::EnEdicion(long numero, const QString& accion)
{
    if (!Hijo(numero))
        return false;
    Mensaje(NombreDocumento() + QStringLiteral(" se está editando: No se puede ") + accion + QStringLiteral(" ahora"),
            QMessageBox::Critical);
    return true;
}

bool NavegadorBase::Pregunta(const QString& texto)
{
    return MensajeSobreRejilla(Grd, texto, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning, windowTitle())
        == QMessageBox::Ok;
}

// --- filter ------------------------------------------------------------------------------

void NavegadorBase::PulsarFiltrar()
{
    Filtrar->setDown(true);
    Tim->start();
}

// The dialog opens from the timer so that the panel is drawn pressed first.
void NavegadorBase::EditarFiltro()
{
    Tim->stop();
    DialogoFiltro dialogo(this);
    const bool aceptado = dialogo.Editar(m_filtro, {}, SerieDelFiltro());
    Filtrar->setDown(false);
    if (aceptado) {
        Refresco(std::nullopt);
        Grd->setFocus(Qt::OtherFocusReason);
    }
}

// --- grid --------------------------------------------------------------------------------

// The right click has made its row current.
void NavegadorBase::MenuContextual(const QPoint& global)
{
    PrepararMenu();
    MnAcciones->popup(global);
}

bool NavegadorBase::eventFilter(QObject* objeto, QEvent* evento)
{
    // Ctrl+End goes to the last row read so far at once, and to the very last when all are in;
    // any other key or a click keeps the user where they went.
    if (objeto == Grd && evento->type() == QEvent::KeyPress) {
        const auto* tecla = static_cast<QKeyEvent*>(evento);
        m_alFinal = tecla->key() == Qt::Key_End && (tecla->modifiers() & Qt::ControlModifier) && Incompleta();
    } else if (objeto == Grd->viewport() && evento->type() == QEvent::MouseButtonPress) {
        m_alFinal = false;
    }
    // F5 reads the list again: what other stations stored since it was read shows.
    if (objeto == Grd && evento->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(evento)->key() == Qt::Key_F5) {
        Releer();
        return true;
    }
    if (objeto == Grd && evento->type() == QEvent::KeyPress && Tecla(static_cast<QKeyEvent&>(*evento)))
        return true;
    return QWidget::eventFilter(objeto, evento);
}
