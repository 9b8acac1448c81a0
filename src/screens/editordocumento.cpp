#include "editordocumento.h"

#include "autoescrituraqt.h"
#include "coleccion.h"
#include "editorcelda.h"
#include "formato.h"
#include "global.h"
#include "impresion.h"
#include "motor.h"
#include "motormascaras.h"
#include "navegador.h"
#include "rejilla.h"
#include "utilidades.h"
#include "ventanas.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {


// A key that types text (not an editing or control key), as the filters see it.
bool EsCaracter(int tecla) { return tecla >= 32 && tecla != 127; }

QString DecimalLocal() { return LocalNumeros().decimalPoint(); }

}  // namespace

EditorDocumento::EditorDocumento(const QString& titulo, std::vector<Columna> columnas, long numeroEditado,
                                 QWidget* parent)
    : QWidget(parent), m_titulo(titulo), m_columnas(std::move(columnas)), m_numeroEditado(numeroEditado)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titulo);
}

EditorDocumento::~EditorDocumento()
{
    if (m_serviciosIniciados && Global::BD) {
        Global::BD->TerminarServicioAutoescritura(0);
        Global::BD->TerminarServicioAutoescritura(1);
    }
}

void EditorDocumento::FijarPadre(NavegadorDocumentos* padre)
{
    m_padre = padre;
    // A browser that is a window may close before its editors; it is then no longer told.
    if (auto* objeto = dynamic_cast<QObject*>(padre)) {
        m_padreObjeto = objeto;
        m_padreEsObjeto = true;
    }
}

NavegadorDocumentos* EditorDocumento::Padre() const
{
    if (m_padreEsObjeto && !m_padreObjeto)
        return nullptr;
    return m_padre;
}

// --- building ----------------------------------------------------------------------------

void EditorDocumento::Construir(QWidget* totales, QWidget* extraCabecera)
{
    CrearCabecera(extraCabecera);
    CrearRejilla();

    m_pie = new QWidget(this);
    auto* pie = new QHBoxLayout(m_pie);
    pie->setContentsMargins(4, 4, 4, 4);
    if (totales)
        pie->addWidget(totales, 0, Qt::AlignTop);
    pie->addStretch(1);
    auto boton = [this, pie](QPushButton*& b, const char* nombre, const QString& texto, const QString& ayuda) {
        b = new QPushButton(texto, m_pie);
        b->setObjectName(QString::fromLatin1(nombre));
        b->setToolTip(ayuda);
        b->setAutoDefault(false);
        pie->addWidget(b, 0, Qt::AlignBottom);
    };
    boton(m_insCom, "insCom", tr("Comentario"), tr("Insertar un comentario bajo la línea"));
    boton(m_borrar, "Borrar", tr("Borrar"), QString());
    boton(m_imprim, "Imprim", tr("Imprimir"), QString());
    boton(m_aceptar, "Aceptar", tr("Aceptar"), tr("Guardar"));
    boton(m_cancelar, "Cancelar", tr("Cancelar"), tr("Abandonar cambios"));
    // The same tab order as the window reads: buttons after the grid.
    m_insCom->setFocusPolicy(Qt::TabFocus);

    connect(m_insCom, &QPushButton::clicked, this, &EditorDocumento::InsertarComentario);
    connect(m_borrar, &QPushButton::clicked, this, &EditorDocumento::BorrarFila);
    connect(m_imprim, &QPushButton::clicked, this, &EditorDocumento::Imprimir);
    connect(m_aceptar, &QPushButton::clicked, this, &EditorDocumento::Aceptar);
    connect(m_cancelar, &QPushButton::clicked, this, &EditorDocumento::Cancelar);

    for (const QKeySequence& tecla : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* atajo = new QShortcut(tecla, this);
        atajo->setContext(Qt::WidgetWithChildrenShortcut);
        connect(atajo, &QShortcut::activated, this, &EditorDocumento::Aceptar);
    }

    const int ancho = m_grd->horizontalHeader()->length() + 2 * m_grd->frameWidth()
        + m_grd->verticalScrollBar()->sizeHint().width();
    m_tamanoInicial = QSize(std::max(ancho + 8, m_pie->sizeHint().width()), 420);
    resize(m_tamanoInicial);
    setMinimumSize(320, m_cabecera->sizeHint().height() + m_pie->sizeHint().height() + 4 * m_grd->altoFila(0));
}

void EditorDocumento::CrearCabecera(QWidget* extra)
{
    m_cabecera = new QWidget(this);
    auto* rejilla = new QGridLayout(m_cabecera);
    rejilla->setContentsMargins(4, 4, 4, 2);
    rejilla->setHorizontalSpacing(6);
    rejilla->setVerticalSpacing(2);

    auto campo = [this](const char* nombre) {
        auto* c = new QLineEdit(m_cabecera);
        c->setObjectName(QString::fromLatin1(nombre));
        c->installEventFilter(this);
        return c;
    };
    auto etiqueta = [this](const QString& texto, QWidget* socio) {
        auto* l = new QLabel(texto, m_cabecera);
        l->setBuddy(socio);
        return l;
    };
    const auto digitos = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    const auto decimales = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9%1]*").arg(QRegularExpression::escape(DecimalLocal()))), this);

    m_txNumero = campo("txNumero");
    m_txNumero->setValidator(digitos);
    m_txNumero->setMaxLength(9);  // every 9-digit number fits the 32-bit field
    m_txNumero->setAlignment(Qt::AlignRight);
    m_pkFecha = new QDateEdit(m_cabecera);
    m_pkFecha->setObjectName(QStringLiteral("pkFecha"));
    m_pkFecha->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    m_pkFecha->setCalendarPopup(true);
    m_pkFecha->installEventFilter(this);
    m_txCodCli = campo("txCodCli");
    m_txCodCli->setValidator(digitos);
    m_txCodCli->setMaxLength(9);
    m_txCodCli->setAlignment(Qt::AlignRight);
    m_txCliente = campo("txCliente");
    m_lbCliente = new QLabel(m_cabecera);
    m_lbCliente->setObjectName(QStringLiteral("lbCliente"));
    m_lbCliente->hide();
    m_txDescuento = campo("txDescuento");
    m_txDescuento->setValidator(decimales);
    m_txDescuento->setMaxLength(5);
    m_txDescuento->setAlignment(Qt::AlignRight);
    m_txDesctoPP = campo("txDesctoPP");
    m_txDesctoPP->setValidator(decimales);
    m_txDesctoPP->setMaxLength(5);
    m_txDesctoPP->setAlignment(Qt::AlignRight);

    const int ancho = fontMetrics().horizontalAdvance(QStringLiteral("0000000000"));
    m_txNumero->setFixedWidth(ancho);
    m_txCodCli->setFixedWidth(ancho);
    m_txDescuento->setFixedWidth(ancho * 2 / 3);
    m_txDesctoPP->setFixedWidth(ancho * 2 / 3);

    rejilla->addWidget(etiqueta(tr("&Número"), m_txNumero), 0, 0);
    rejilla->addWidget(m_txNumero, 1, 0);
    rejilla->addWidget(etiqueta(tr("&Fecha"), m_pkFecha), 0, 1);
    rejilla->addWidget(m_pkFecha, 1, 1);
    rejilla->addWidget(etiqueta(tr("&Cliente"), m_txCliente), 0, 2, 1, 2);
    rejilla->addWidget(m_txCodCli, 1, 2);
    rejilla->addWidget(m_txCliente, 1, 3);
    rejilla->addWidget(m_lbCliente, 1, 4);
    rejilla->addWidget(etiqueta(tr("% &Descto."), m_txDescuento), 0, 5);
    rejilla->addWidget(m_txDescuento, 1, 5);
    rejilla->addWidget(etiqueta(tr("% Dc.&PP"), m_txDesctoPP), 0, 6);
    rejilla->addWidget(m_txDesctoPP, 1, 6);
    if (extra)
        rejilla->addWidget(extra, 0, 7, 2, 1, Qt::AlignBottom);
    rejilla->setColumnStretch(3, 1);

    connect(m_txNumero, &QLineEdit::textEdited, this, &EditorDocumento::AlEditarNumero);
    connect(m_pkFecha, &QDateEdit::dateChanged, this, [this](const QDate& fecha) {
        if (m_cargando || !fecha.isValid())
            return;
        FijarFechaDocumento(fecha);
        m_cambios = true;
    });
    connect(m_txCliente, &QLineEdit::textEdited, this, &EditorDocumento::AlEditarCliente);
    connect(m_txCodCli, &QLineEdit::textEdited, this, &EditorDocumento::AlEditarCodCli);
    connect(m_txDescuento, &QLineEdit::textEdited, this,
            [this](const QString& t) { AlEditarDescuento(m_txDescuento, t); });
    connect(m_txDesctoPP, &QLineEdit::textEdited, this, [this](const QString& t) { AlEditarDescuento(m_txDesctoPP, t); });
}

void EditorDocumento::CrearRejilla()
{
    m_grd = new Rejilla(this);
    m_grd->setObjectName(QStringLiteral("Grd"));
    m_grd->setCols(static_cast<int>(m_columnas.size()));
    m_grd->setRows(2);
    m_grd->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int c = 0; c < static_cast<int>(m_columnas.size()); ++c) {
        const Columna& col = m_columnas[static_cast<size_t>(c)];
        m_grd->setTextMatrix(0, c, col.titulo);
        // As many digits as the column takes always fit.
        m_grd->FijarAncho(c, col.ancho, col.muestra.isEmpty() ? QString(col.longitud, QLatin1Char('0')) : col.muestra);
        m_grd->setColAlignment(c, col.alineacion);
        m_grd->horizontalHeaderItem(c)->setTextAlignment(col.alineacion | Qt::AlignVCenter);
    }

    m_txEd = new EditorCelda(m_grd);
    m_txEd->setObjectName(QStringLiteral("txEd"));
    m_txEd->setMargenes(QMargins(3, 1, 1, 1));
    m_txEd->setTeclaAbajo([this](QKeyEvent& e) { return TeclaAbajo(e); });
    m_txEd->setIntro([this] { return TeclaIntro(); });
    m_txEd->setFiltroGeneral([this](int& tecla) { FiltrarTecla(tecla); });
    for (int c = 0; c < static_cast<int>(m_columnas.size()); ++c)
        m_txEd->setLongitudColumna(c, m_columnas[static_cast<size_t>(c)].longitud);
    connect(m_txEd, &EditorCelda::editado, this, &EditorDocumento::AlEditarCelda);

    m_lbAux = new QLabel(this);
    m_lbAux->setObjectName(QStringLiteral("lbAux"));
    m_lbAux->hide();

    connect(m_grd, &Rejilla::celdaCambiada, this, &EditorDocumento::AlCambiarCelda);
    connect(m_grd, &Rejilla::desplazada, this, &EditorDocumento::AlDesplazar);
}

// Panels at the top and bottom edges; the grid between them a whole number of rows high.
void EditorDocumento::Colocar()
{
    if (!m_cabecera || !m_pie)
        return;
    const int alto = height();
    const int cabecera = m_cabecera->sizeHint().height();
    const int pie = m_pie->sizeHint().height();
    m_cabecera->setGeometry(0, 0, width(), cabecera);
    const int fila = std::max(1, m_grd->altoFila(1) > 0 ? m_grd->altoFila(1) : m_grd->altoFila(0));
    // Whether the columns need a horizontal bar at this width, decided here so that the rows
    // below are counted on the height that is left.
    const int anchoRejilla = std::max(0, width() - 4);
    const bool barra = m_grd->horizontalHeader()->length()
        > anchoRejilla - 2 * m_grd->frameWidth() - m_grd->verticalScrollBar()->sizeHint().width();
    m_grd->setHorizontalScrollBarPolicy(barra ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int marco = 2 * m_grd->frameWidth() + m_grd->altoFila(0)
        + (barra ? m_grd->horizontalScrollBar()->sizeHint().height() : 0);
    const int filas = std::max(1, (alto - cabecera - pie - marco) / fila);
    const int altoRejilla = marco + filas * fila;
    m_grd->setGeometry(2, cabecera, anchoRejilla, altoRejilla);
    m_pie->setGeometry(0, std::max(cabecera + altoRejilla, alto - pie), width(), pie);
}

void EditorDocumento::resizeEvent(QResizeEvent* evento)
{
    QWidget::resizeEvent(evento);
    Colocar();
}

void EditorDocumento::Mostrar()
{
    if (QMdiArea* area = AreaVentanas()) {
        QMdiSubWindow* marco = area->addSubWindow(this);
        marco->setAttribute(Qt::WA_DeleteOnClose);
        marco->setWindowIcon(windowIcon());
        marco->resize(marco->sizeHint());
    }
    RestaurarVentana(this);
    show();
}

// --- loading -----------------------------------------------------------------------------

void EditorDocumento::Cargar(bool abiertoPorNumero)
{
    m_cargando = true;
    DocumentoCargado();
    const std::optional<qint32> numero = NumeroDocumento();
    m_txNumero->setText(numero ? NumeroConCeros(*numero, 6) : QString());
    m_pkFecha->setDate(FechaDocumento());
    m_txCliente->clear();
    m_lbCliente->clear();
    if (const std::optional<qint32> cliente = ClienteDocumento()) {
        Coleccion datos;
        try {
            if (Global::BD->ConsultaCliente(*cliente, datos))
                m_txCliente->setText(CampoATexto(datos.valor(QStringLiteral("nombre"))));
        } catch (const motor::Error&) {
        }
        m_lbCliente->setText(NumeroConCeros(*cliente, 6));
    }
    m_txCodCli->setText(m_lbCliente->text());
    m_txDescuento->setText(Formato(static_cast<double>(DescuentoDocumento()), kFormatoPorcentaje));
    m_txDesctoPP->setText(Formato(static_cast<double>(DesctoPPDocumento()), kFormatoPorcentaje));

    PintarRejilla();
    PintarTotales();

    const bool editable = Editable();
    m_borrar->setEnabled(editable);
    const bool bloqueado = ClienteBloqueado();
    // The invoice names the note by its number and date: they stay as billed.
    m_txNumero->setReadOnly(bloqueado);
    m_pkFecha->setReadOnly(bloqueado);
    m_txCliente->setReadOnly(bloqueado);
    m_txCodCli->setReadOnly(bloqueado);
    m_txDesctoPP->setReadOnly(bloqueado);

    if (!m_serviciosIniciados && Global::BD) {
        Global::BD->IniciarServicioAutoescritura(0);
        Global::BD->IniciarServicioAutoescritura(1);
        m_serviciosIniciados = true;
    }
    m_largoClientes = static_cast<qint16>(m_txCliente->text().size());
    m_cargando = false;
    Colocar();
    if (editable) {
        AbrirEditor();
        if (abiertoPorNumero)
            m_txEd->setFocus(Qt::OtherFocusReason);
    }
    if (!abiertoPorNumero || !editable)
        (bloqueado ? static_cast<QWidget*>(m_grd) : m_txCodCli)->setFocus(Qt::OtherFocusReason);
}

void EditorDocumento::PintarRejilla()
{
    InvalidarFilas();
    m_txEd->cerrar();
    int filas = 2;
    for (int i = 1; i <= NumeroLineas(); ++i)
        filas += Comentario(i).isEmpty() ? 1 : 2;
    m_grd->setUpdatesEnabled(false);
    m_grd->setRows(filas);
    int fila = 1;
    const int columnas = static_cast<int>(m_columnas.size());
    for (int i = 1; i <= NumeroLineas(); ++i) {
        const QStringList textos = TextosLinea(i);
        for (int c = 0; c < columnas; ++c)
            m_grd->setTextMatrix(fila, c, c < textos.size() ? textos[c] : QString());
        ++fila;
        const QString comentario = Comentario(i);
        if (!comentario.isEmpty()) {
            for (int c = 0; c < columnas; ++c)
                m_grd->setTextMatrix(fila, c, c == 3 ? comentario : QString());
            ++fila;
        }
    }
    for (int c = 0; c < columnas; ++c)
        m_grd->setTextMatrix(fila, c, QString());
    m_grd->setCelda(1, 0);
    m_grd->setUpdatesEnabled(true);
}

// --- rows and lines ----------------------------------------------------------------------

int EditorDocumento::LineaDeFila(int fila, bool* comentario) const
{
    if (!m_filasValidas) {
        // Walks the lines in order; a line with a comment takes two rows.
        m_filas.assign(1, FilaLinea{});
        const int n = NumeroLineas();
        for (int i = 1; i <= n; ++i) {
            m_filas.push_back({i, false});
            if (!Comentario(i).isEmpty())
                m_filas.push_back({i, true});
        }
        m_filasValidas = true;
    }
    const FilaLinea f = fila >= 1 && fila < static_cast<int>(m_filas.size()) ? m_filas[static_cast<size_t>(fila)] : FilaLinea{};
    if (comentario)
        *comentario = f.comentario;
    return f.linea;
}

int EditorDocumento::PrimeraFilaDeLinea(int linea) const
{
    int contador = 1;
    for (int i = 1; i < linea && i <= NumeroLineas(); ++i)
        contador += Comentario(i).isEmpty() ? 1 : 2;
    return contador;
}

void EditorDocumento::PintarFila(int fila)
{
    bool comentario = false;
    const int linea = LineaDeFila(fila, &comentario);
    const int columnas = static_cast<int>(m_columnas.size());
    if (linea == 0) {
        for (int c = 0; c < columnas; ++c)
            m_grd->setTextMatrix(fila, c, QString());
        return;
    }
    if (comentario) {
        m_grd->setTextMatrix(fila, 3, Comentario(linea));
        return;
    }
    const QStringList textos = TextosLinea(linea);
    for (int c = 0; c < columnas; ++c)
        m_grd->setTextMatrix(fila, c, c < textos.size() ? textos[c] : QString());
    const QString texto = Comentario(linea);
    if (!texto.isEmpty() && fila + 1 < m_grd->Rows())
        m_grd->setTextMatrix(fila + 1, 3, texto);
}

// --- the cell editor ---------------------------------------------------------------------

void EditorDocumento::AbrirEditor()
{
    if (m_cargando || !Editable())
        return;
    const int fila = m_grd->Row();
    const int col = m_grd->Col();
    const Columna& c = m_columnas[static_cast<size_t>(col)];
    m_txEd->setAlignment((col == 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    Q_UNUSED(c);
    const QString texto = m_grd->TextMatrix(fila, col);
    m_txEd->abrir(fila, col, texto);
    // A completion starts from what the cell already holds.
    m_largoArticulos = static_cast<qint16>(texto.size());
    if (m_txEd->isVisible()) {
        m_txEd->setFocus(Qt::OtherFocusReason);
        SeleccionarTexto(m_txEd);
    }
}

void EditorDocumento::CerrarEditor()
{
    if (!m_txEd->estaAbierto())
        return;
    const int fila = m_txEd->fila();
    const int col = m_txEd->col();
    if (!m_cargando && Editable() && CeldaAlSalir(col)) {
        bool comentario = false;
        const int linea = fila < m_grd->Rows() ? LineaDeFila(fila, &comentario) : 0;
        const QString texto = m_txEd->texto();
        if (linea != 0 && !comentario && texto != TextosLinea(linea).value(col)) {
            try {
                CeldaEditada(linea, col, texto);
            } catch (const motor::Error& e) {
                AvisarFueraDeLimites(tr("Error al leer los datos.") + QLatin1Char('\n') + QString::fromUtf8(e.what()));
            }
            PintarTotales();
        }
    }
    m_txEd->cerrar();
    if (fila < m_grd->Rows())
        PintarFila(fila);
    m_grd->setFocus(Qt::OtherFocusReason);
}

void EditorDocumento::AlCambiarCelda()
{
    if (m_cargando || !Editable())
        return;
    CerrarEditor();
    AbrirEditor();
}

void EditorDocumento::AlDesplazar()
{
    if (m_cargando || !Editable())
        return;
    const int fila = m_grd->Row();
    if (!m_grd->celdaVisible(fila, m_grd->Col())) {
        CerrarEditor();
    } else if (m_txEd->estaAbierto() && m_txEd->fila() == fila && m_txEd->col() == m_grd->Col()) {
        if (m_txEd->recolocar() && !m_txEd->hasFocus())
            m_txEd->setFocus(Qt::OtherFocusReason);
    } else {
        AbrirEditor();
    }
}

void EditorDocumento::IrA(int fila, int col)
{
    if (fila == m_grd->Row() && col == m_grd->Col()) {
        AbrirEditor();
        return;
    }
    m_grd->setCelda(fila, col);
}

bool EditorDocumento::TeclaAbajo(QKeyEvent& evento)
{
    const int fila = m_grd->Row();
    const int col = m_grd->Col();
    const int ultimaCol = static_cast<int>(m_columnas.size()) - 1;
    switch (evento.key()) {
    case Qt::Key_Up:
        if (fila >= 2)
            IrA(fila - 1, col);
        return true;
    case Qt::Key_Down:
        if (fila < m_grd->Rows() - 1)
            IrA(fila + 1, col);
        return true;
    case Qt::Key_Right:
        if (m_txEd->inicioSeleccion() + m_txEd->largoSeleccion() == m_txEd->text().size() && col < ultimaCol) {
            IrA(fila, m_columnas[static_cast<size_t>(col)].derecha);
            return true;
        }
        return false;
    case Qt::Key_Left:
        if (m_txEd->inicioSeleccion() == 0 && col > 0) {
            IrA(fila, m_columnas[static_cast<size_t>(col)].izquierda);
            return true;
        }
        return false;
    case Qt::Key_Delete:
        if (evento.modifiers() & Qt::ShiftModifier) {
            BorrarFila();
            return true;
        }
        return TragarSuprimir(col);
    default:
        return false;
    }
}

bool EditorDocumento::TeclaIntro()
{
    const int fila = m_grd->Row();
    const Intro& destino = m_columnas[static_cast<size_t>(m_grd->Col())].intro;
    if (destino.col < 0)
        return true;
    if (destino.filaSiguiente) {
        if (fila + 1 < m_grd->Rows())
            IrA(fila + 1, destino.col);
        else
            IrA(fila, destino.col);
        return true;
    }
    IrA(fila, destino.col);
    return true;
}

void EditorDocumento::FiltrarTecla(int& tecla)
{
    const int col = m_txEd->col();
    const int linea = LineaDeFila(m_txEd->fila());
    FiltrarCelda(linea, col, tecla);
    if (!EsCaracter(tecla))
        return;
    // The text as it would be with this key: a value the document cannot hold is refused here.
    const QString actual = m_txEd->texto();
    const int inicio = m_txEd->inicioSeleccion();
    const char32_t c = static_cast<char32_t>(tecla);
    const QString nuevo = actual.left(inicio) + QString::fromUcs4(&c, 1) + actual.mid(inicio + m_txEd->largoSeleccion());
    const QString motivo = FueraDeLimites(linea, col, nuevo);
    if (!motivo.isEmpty()) {
        tecla = 0;
        AvisarFueraDeLimites(motivo);
    }
}

// Shown once the key (or the whole paste) has been dealt with, and once per refusal.
void EditorDocumento::AvisarFueraDeLimites(const QString& motivo)
{
    if (m_avisoPendiente)
        return;
    m_avisoPendiente = true;
    QTimer::singleShot(0, this, [this, motivo] {
        QMessageBox caja(QMessageBox::Warning, m_titulo, motivo, QMessageBox::Ok, this);
        caja.exec();
        m_avisoPendiente = false;
        if (m_txEd->estaAbierto() && m_txEd->isVisible())
            m_txEd->setFocus(Qt::OtherFocusReason);
    });
}

qint32 EditorDocumento::AutoescribirArticulo()
{
    m_guardaEditor = true;
    Autoescribir(*Global::BD, 1, m_largoArticulos, m_lbAux, m_txEd);
    m_guardaEditor = false;
    return EsNumerico(m_lbAux->text()) ? static_cast<qint32>(Val(m_lbAux->text())) : 0;
}

void EditorDocumento::AlEditarCelda(const QString& texto)
{
    if (m_guardaEditor || m_cargando || !m_txEd->isVisible() || !Editable())
        return;
    int fila = m_grd->Row();
    const int col = m_grd->Col();
    try {
        if (fila == m_grd->Rows() - 1) {
            if (!NuevaLinea())
                return;
            InvalidarFilas();
            m_grd->setRows(m_grd->Rows() + 1);
        }
        bool comentario = false;
        const int linea = LineaDeFila(fila, &comentario);
        if (linea == 0)
            return;
        if (comentario) {
            if (col != 3) {
                m_txEd->fijarTexto(QString());
                return;
            }
            if (texto != Comentario(linea))
                m_cambios = true;
            FijarComentario(linea, texto);
            if (texto.isEmpty()) {
                InvalidarFilas();
                m_txEd->cerrar();
                m_grd->RemoveItem(fila);
                IrA(fila - 1, col);
            }
            PintarTotales();
            return;
        }
        if (CeldaAlSalir(col))
            return;
        CeldaEditada(linea, col, texto);
        PintarFila(fila);
        PintarTotales();
    } catch (const motor::Error& e) {
        Mensaje(tr("Error al leer los datos.") + QLatin1Char('\n') + motor::TextoParaUsuario(e), QMessageBox::Ok,
                QMessageBox::Critical);
    }
}

// --- header ------------------------------------------------------------------------------

void EditorDocumento::AlEditarNumero(const QString& texto)
{
    if (m_cargando || !EsNumerico(texto))
        return;
    FijarNumeroDocumento(static_cast<qint32>(Val(texto)));
    m_cambios = true;
}

void EditorDocumento::AlEditarCliente()
{
    if (m_cargando || m_enlazando)
        return;
    try {
        Autoescribir(*Global::BD, 0, m_largoClientes, m_lbCliente, m_txCliente);
        if (EsNumerico(m_lbCliente->text())) {
            if (FijarCliente(static_cast<qint32>(Val(m_lbCliente->text()))))
                m_cambios = true;
            ClienteElegido();
        }
    } catch (const motor::Error& e) {
        Mensaje(tr("Error al leer los datos.") + QLatin1Char('\n') + motor::TextoParaUsuario(e), QMessageBox::Ok,
                QMessageBox::Critical);
    }
    CopiarEtiquetaCliente();
}

void EditorDocumento::CopiarEtiquetaCliente()
{
    if (m_enlazando)
        return;
    m_enlazando = true;
    m_txCodCli->setText(m_lbCliente->text());
    m_enlazando = false;
}

void EditorDocumento::AlEditarCodCli(const QString& texto)
{
    if (m_cargando || m_enlazando)
        return;
    m_enlazando = true;
    bool hallado = false;
    if (EsNumerico(texto)) {
        const double valor = Val(texto);
        Coleccion datos;
        try {
            if (valor <= 2147483647.0 && Global::BD->ConsultaCliente(static_cast<qint32>(valor), datos)) {
                const qint32 codigo = static_cast<qint32>(valor);
                m_txCliente->setText(CampoATexto(datos.valor(QStringLiteral("nombre"))));
                m_lbCliente->setText(NumeroConCeros(codigo, 6));
                if (FijarCliente(codigo))
                    m_cambios = true;
                ClienteElegido();
                hallado = true;
            }
        } catch (const motor::Error&) {
        }
    }
    if (!hallado) {
        m_txCliente->clear();
        m_lbCliente->clear();
    }
    m_largoClientes = static_cast<qint16>(m_txCliente->text().size());
    m_enlazando = false;
}

void EditorDocumento::AlEditarDescuento(QLineEdit* campo, const QString& texto)
{
    if (m_cargando)
        return;
    const std::optional<double> valor = LeerNumero(texto);
    if (valor && *valor > 100) {
        // A discount above the whole amount: the last key is taken back.
        const QString corto = texto.left(texto.size() - 1);
        campo->setText(corto);
        AvisarFueraDeLimites(tr("El descuento debe estar entre 0 y 100."));
        return;
    }
    if (campo == m_txDescuento)
        DescuentoEditado(texto);
    else
        DesctoPPEditado(texto);
    PintarTotales();
}

void EditorDocumento::IrALineas()
{
    if (!Editable()) {
        m_grd->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_grd->Row() == 1 && m_grd->Col() == 0)
        AbrirEditor();
    else
        m_grd->setCelda(1, 0);
}

bool EditorDocumento::eventFilter(QObject* objeto, QEvent* evento)
{
    auto* campo = qobject_cast<QLineEdit*>(objeto);
    const QEvent::Type tipo = evento->type();
    if (tipo == QEvent::FocusIn && campo && objeto != m_txEd) {
        // After the mouse has placed the caret.
        QTimer::singleShot(0, campo, [campo] { SeleccionarTexto(campo); });
    } else if (tipo == QEvent::FocusOut && !m_cargando) {
        if (objeto == m_txNumero) {
            const std::optional<qint32> n = NumeroDocumento();
            m_txNumero->setText(n ? NumeroConCeros(*n, 6) : QString());
        } else if (objeto == m_pkFecha) {
            const bool cargando = m_cargando;
            m_cargando = true;
            m_pkFecha->setDate(FechaDocumento());
            m_cargando = cargando;
        } else if (objeto == m_txCodCli) {
            CopiarEtiquetaCliente();
        } else if (objeto == m_txDescuento) {
            DescuentoAbandonado();
        } else if (objeto == m_txDesctoPP) {
            DesctoPPAbandonado();
        }
    } else if (tipo == QEvent::KeyPress) {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        const bool intro = (tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter)
            && !(tecla->modifiers() & Qt::ControlModifier);
        if (intro) {
            if (objeto == m_txNumero)
                m_pkFecha->setFocus(Qt::TabFocusReason);
            else if (objeto == m_pkFecha)
                m_txCliente->setFocus(Qt::TabFocusReason);
            else if (objeto == m_txCliente)
                IrALineas();
            else if (objeto == m_txCodCli)
                EsNumerico(m_lbCliente->text()) ? IrALineas() : m_txCliente->setFocus(Qt::TabFocusReason);
            else if (objeto == m_txDescuento)
                m_txDesctoPP->setFocus(Qt::TabFocusReason);
            else if (objeto == m_txDesctoPP)
                IrALineas();
            else
                return QWidget::eventFilter(objeto, evento);
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

// --- buttons -----------------------------------------------------------------------------

void EditorDocumento::InsertarComentario()
{
    if (!Editable())
        return;
    const int fila = m_grd->Row();
    bool comentario = false;
    const int linea = LineaDeFila(fila, &comentario);
    if (linea == 0 || comentario || !Comentario(linea).isEmpty())
        return;
    CerrarEditor();
    m_grd->AddItem(QString(), fila + 1);
    FijarComentario(linea, QStringLiteral(" "));
    InvalidarFilas();
    PintarFila(fila);
    IrA(fila + 1, 3);
}

void EditorDocumento::BorrarFila()
{
    if (!Editable())
        return;
    CerrarEditor();
    const int fila = m_grd->Row();
    bool comentario = false;
    const int linea = LineaDeFila(fila, &comentario);
    InvalidarFilas();
    if (linea != 0 && comentario) {
        FijarComentario(linea, QString());
        InvalidarFilas();
        m_grd->RemoveItem(fila);
        m_cambios = true;
        IrA(fila - 1, 3);
    } else if (linea != 0) {
        const bool conComentario = !Comentario(linea).isEmpty();
        if (EliminarLinea(linea)) {
            InvalidarFilas();
            // Its comment row goes with it.
            if (conComentario)
                m_grd->RemoveItem(fila + 1);
            m_grd->RemoveItem(fila);
            m_cambios = true;
        }
    }
    AbrirEditor();
    PintarTotales();
}

QMessageBox::StandardButton EditorDocumento::Mensaje(const QString& texto, QMessageBox::StandardButtons botones,
                                                     QMessageBox::Icon icono, QMessageBox::StandardButton porDefecto)
{
    return MensajeSobreRejilla(m_grd, texto, botones, icono, m_titulo, porDefecto);
}

bool EditorDocumento::Guardar()
{
    if (!EsNumerico(m_lbCliente->text())) {
        Mensaje(tr("Debe asignar un cliente."), QMessageBox::Ok, QMessageBox::Critical);
        return false;
    }
    // Asked before anything is written: "No" leaves the database as it was.
    const QString pregunta = PreguntaAntesDeGuardar();
    if (!pregunta.isEmpty()
        && Mensaje(pregunta, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning) != QMessageBox::Yes)
        return false;
    bool guardado = false;
    QString motivo;
    const qint32 pedido = m_numeroEditado == 0 ? NumeroDocumento().value_or(0) : 0;  // 0: none asked for
    try {
        guardado = GuardarDocumento();
        if (!guardado)
            motivo = MotivoFallo();
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
    }
    if (!guardado) {
        // The window keeps everything typed, so the user can save again.
        QString texto = tr("Error al guardar los datos.");
        AnadirALista(texto, QStringLiteral("\n"), motivo.isEmpty() ? tr("Posiblemente hay códigos duplicados.") : motivo);
        Mensaje(texto, QMessageBox::Ok, QMessageBox::Critical);
        return false;
    }
    m_cambios = false;
    // Another station stored the typed number first: the document took the next free one.
    if (pedido != 0 && NumeroDocumento() && *NumeroDocumento() != pedido) {
        m_txNumero->setText(NumeroConCeros(*NumeroDocumento(), 6));
        Mensaje(tr("El número %1 ya se había guardado en otro puesto: se ha guardado con el número %2.")
                    .arg(NumeroConCeros(pedido, 6), NumeroConCeros(*NumeroDocumento(), 6)),
                QMessageBox::Ok, QMessageBox::Information);
    }
    NavegadorDocumentos* navegador = Navegador();
    if (navegador && navegador->Cargado()) {
        try {
            if (const auto numero = NumeroDocumento())
                navegador->RefrescarFila(*numero);
            else
                navegador->Refresco(std::nullopt);
        } catch (const motor::Error&) {
        }
    }
    TrasGuardar();
    return true;
}

void EditorDocumento::Aceptar()
{
    CerrarEditor();
    // The cell just left was refused (an unknown code): the user reads why before anything is saved.
    if (m_avisoPendiente) {
        AbrirEditor();
        return;
    }
    if (Guardar())
        Descargar();
    else if (Editable())
        AbrirEditor();
}

void EditorDocumento::Cancelar()
{
    if (m_cambios
        && Mensaje(tr("Abandonar los cambios realizados: ¿SEGURO?"), QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Warning, QMessageBox::Cancel)
            != QMessageBox::Ok)
        return;
    AlCancelar();
    Descargar();
}

void EditorDocumento::Imprimir()
{
    CerrarEditor();
    if (m_avisoPendiente) {
        AbrirEditor();
        return;
    }
    const std::optional<int> copias = PedirCopias(this);
    if (!copias) {
        AbrirEditor();
        return;
    }
    if (GuardarAntesDeImprimir()) {
        if (!Guardar()) {
            AbrirEditor();
            return;
        }
        // The stored document is read back, so that a later save updates it; a new one is
        // from now on the editor of its number.
        if (!RecargarDocumento()) {
            Descargar();
        } else {
            if (m_numeroEditado == 0 && NumeroDocumento()) {
                m_numeroEditado = *NumeroDocumento();
                if (NavegadorDocumentos* padre = Padre())
                    padre->HijoNumerado(m_numeroEditado);
            }
            Cargar(true);
        }
    }
    const QString carpeta = CarpetaMascaras(MascaraImpresion());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool impreso = true;
    for (int i = 0; i < *copias && impreso; ++i) {
        std::unique_ptr<MotorMascaras> motor = NuevoMotorMascaras();
        try {
            impreso = ImprimirDocumento(*motor, carpeta);
        } catch (const motor::Error&) {
            impreso = false;
        }
    }
    QApplication::restoreOverrideCursor();
    if (!impreso)
        Mensaje(tr("No se puede leer la máscara de impresión %1: compruebe que está junto al programa.")
                    .arg(MascaraImpresion()),
                QMessageBox::Ok, QMessageBox::Critical);
    AbrirEditor();
}

void EditorDocumento::Descargar()
{
    m_cerrandoAdrede = true;
    auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (marco)
        marco->close();
    else
        close();
}

void EditorDocumento::closeEvent(QCloseEvent* evento)
{
    if (!m_cerrandoAdrede && m_cambios
        && Mensaje(tr("Abandonar los cambios realizados: ¿SEGURO?"), QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Warning, QMessageBox::Cancel)
            != QMessageBox::Ok) {
        evento->ignore();
        return;
    }
    GuardarVentana(this);
    if (NavegadorDocumentos* padre = Padre()) {
        if (const std::optional<qint16> serie = SerieEditada())
            padre->QuitarHijoDeSerie(*serie, m_numeroEditado);
        else
            padre->QuitarHijo(m_numeroEditado);
    }
    m_padre = nullptr;
    m_padreObjeto.clear();
    if (m_serviciosIniciados && Global::BD) {
        Global::BD->TerminarServicioAutoescritura(0);
        Global::BD->TerminarServicioAutoescritura(1);
        m_serviciosIniciados = false;
    }
    evento->accept();
}
