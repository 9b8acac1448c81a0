#include "tramix/EdMatrix.h"

#include "editorcelda.h"
#include "formato.h"
#include "rejilla.h"
#include "valor.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSequentialIterable>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The elements of an array value; nothing for a value that is no array. Texts are not
// arrays of characters here.
std::optional<QVariantList> comoLista(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantList:
        return v.toList();
    case QMetaType::QStringList: {
        QVariantList l;
        const QStringList textos = v.toStringList();
        l.reserve(textos.size());
        for (const QString& t : textos)
            l.append(t);
        return l;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::UnknownType:
        return std::nullopt;
    default:
        if (v.canConvert<QVariantList>() && v.canConvert<QSequentialIterable>())
            return v.toList();
        return std::nullopt;
    }
}

Valor aValor(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Bool:
        return Valor(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return Valor(static_cast<qint64>(v.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return Valor(v.toDouble());
    case QMetaType::QDate:
        return Valor(v.toDate());
    case QMetaType::QDateTime:
        return Valor(v.toDateTime());
    default:
        return Valor(v.toString());
    }
}

// A value as text the way the user reads it: numbers in the user's number format, dates
// day first.
QString textoDeValor(const QVariant& v)
{
    const Valor valor = aValor(v);
    switch (valor.tipo()) {
    case Valor::Tipo::Nulo:
        return {};
    case Valor::Tipo::Booleano:
        return Formato(valor, QStringLiteral("True/False"));
    case Valor::Tipo::Numero:
    {
        // Cells hold numbers as the user types them: no grouping marks.
        QLocale local = LocalNumeros();
        local.setNumberOptions(QLocale::OmitGroupSeparator);
        return local.toString(valor.aNumero(), 'g', 15);
    }
    case Valor::Tipo::Fecha:
        return Formato(valor, QStringLiteral("dd/mm/yyyy"));
    case Valor::Tipo::FechaHora:
        return Formato(valor, QStringLiteral("dd/mm/yyyy hh:nn:ss"));
    default:
        return valor.aTexto();
    }
}

// A date typed the way the user's locale writes them (day/month/year in Spain), with one- or
// two-digit day and month and a two- or four-digit year; no value for any other text.
std::optional<QDate> FechaDelUsuario(const QString& texto)
{
    static const QRegularExpression forma(QStringLiteral("^\\s*(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})\\s*$"));
    const QRegularExpressionMatch m = forma.match(texto);
    if (!m.hasMatch())
        return std::nullopt;
    const QString patron = LocalNumeros().dateFormat(QLocale::ShortFormat);
    const qsizetype posDia = patron.indexOf(QLatin1Char('d')), posMes = patron.indexOf(QLatin1Char('M'));
    if (posDia < 0 || posMes < 0 || patron.indexOf(QLatin1Char('y')) < std::min(posDia, posMes))
        return std::nullopt;  // a locale that writes the year first: ISO dates cover it
    const bool diaPrimero = posDia < posMes;
    const int dia = m.captured(diaPrimero ? 1 : 2).toInt(), mes = m.captured(diaPrimero ? 2 : 1).toInt();
    int anio = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        anio += anio < 30 ? 2000 : 1900;  // the usual window of two-digit years
    const QDate fecha(anio, mes, dia);
    if (!fecha.isValid())
        return std::nullopt;
    return fecha;
}

// What an edit commits in a column: a typed date as a date when the column shows dates.
Valor ValorTecleado(const QString& texto, const QString& formato)
{
    const bool columnaDeFechas = formato.contains(QLatin1String("yy"), Qt::CaseInsensitive)
        || formato.contains(QLatin1String("dd"), Qt::CaseInsensitive);
    if (columnaDeFechas)
        if (const std::optional<QDate> fecha = FechaDelUsuario(texto))
            return Valor(*fecha);
    return Valor(texto);
}

QString textoConFormato(const QVariant& v, const QString& formato)
{
    if (formato.isEmpty())
        return textoDeValor(v);
    return Formato(aValor(v), formato);
}

// The separator that the user's number format reads as decimals.
QChar separadorDecimal()
{
    const std::optional<double> n = LeerNumero(QStringLiteral("1,5"));
    return n && *n == 1.5 ? QLatin1Char(',') : QLatin1Char('.');
}

}  // namespace

EdMatrix::EdMatrix(QWidget* parent) : QWidget(parent)
{
    Grd = new Rejilla(this);
    Grd->setObjectName(QStringLiteral("Grd"));
    // Tab goes past the grid to the cell editor and out of the control.
    Grd->setFocusPolicy(Qt::ClickFocus);
    txEdGrd = new EditorCelda(Grd);
    txEdGrd->setObjectName(QStringLiteral("txEdGrd"));
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(txEdGrd);

    txEdGrd->setTeclaAbajo([this](QKeyEvent& e) { return alTeclaAbajo(e); });
    txEdGrd->setFiltroGeneral([this](int& tecla) { filtrarTecla(tecla); });
    txEdGrd->setIntro([this] { return alIntro(); });
    connect(txEdGrd, &EditorCelda::editado, this, &EdMatrix::alEditar);

    connect(Grd, &Rejilla::celdaCambiada, this, [this] { colocarEditor(true); });
    connect(Grd, &Rejilla::desplazada, this, [this] { colocarEditor(focoDentro()); });
    // A click whose cell change was cancelled in Validar leaves the current cell elsewhere;
    // placing again there would raise Validar a second time for the same edit.
    connect(Grd, &Rejilla::pulsada, this, [this](int fila, int col) {
        if (fila == Grd->Row() && col == Grd->Col())
            colocarEditor(true);
    });
    connect(Grd, &Rejilla::focoRecibido, this, &EdMatrix::repetirTeclaPendiente);
    connect(qApp, &QApplication::focusChanged, this, &EdMatrix::alCambiarFoco);

    resize(sizeHint());
    Grd->setGeometry(rect());
}

EdMatrix::~EdMatrix()
{
    // Deleting the children moves the focus; nothing here may react to that any more.
    Moviendo = true;
    disconnect(qApp, nullptr, this, nullptr);
    Grd->blockSignals(true);
    txEdGrd->blockSignals(true);
    delete Grd;
}

void EdMatrix::FijarLocal(const QLocale& local)
{
    FijarLocalNumeros(local);
}

QLocale EdMatrix::Local()
{
    return LocalNumeros();
}

QSize EdMatrix::sizeHint() const
{
    const int ancho = m_anchoPreferido > 0 ? m_anchoPreferido : 320;
    return {ancho, 6 * Grd->altoFila(0) + 4};
}

int EdMatrix::tipoColumna(int col) const
{
    const int i = col - Grd->FixedCols();
    return i >= 0 && i < static_cast<int>(Tipos.size()) ? Tipos[static_cast<size_t>(i)] : Texto;
}

QString EdMatrix::formatoColumna(int col) const
{
    const int i = col - Grd->FixedCols();
    return i >= 0 && i < static_cast<int>(Formatos.size()) ? Formatos[static_cast<size_t>(i)] : QString();
}

bool EdMatrix::focoDentro() const
{
    const QWidget* foco = QApplication::focusWidget();
    return foco && (foco == this || isAncestorOf(foco));
}

// --- Setup and the matrix ----------------------------------------------------------------

void EdMatrix::Setup(const QVariant& titulosFilas, const QVariant& columnas)
{
    const std::optional<QVariantList> definiciones = comoLista(columnas);
    if (!definiciones)
        return;
    Moviendo = true;
    Modificado = false;

    if (Grd->Rows() < 2)
        Grd->setRows(2);
    Grd->setFixedRows(1);

    QFont negrita = font();
    negrita.setBold(true);
    const QFontMetrics metricaNegrita(negrita);
    if (const std::optional<QVariantList> titulos = comoLista(titulosFilas)) {
        const int n = static_cast<int>(std::min<qsizetype>(titulos->size(), kMaxFilas));
        Grd->setFixedCols(1);
        Grd->setRows(n + 1);
        int ancho = 0;
        for (int i = 0; i < n; ++i) {
            const QString t = textoDeValor(titulos->at(i));
            Grd->setTextMatrix(i + 1, 0, t);
            Grd->setCeldaNegrita(i + 1, 0, true);
            ancho = std::max(ancho, metricaNegrita.horizontalAdvance(t));
        }
        Grd->setAnchoColumna(0, ancho + 8);
    } else {
        Grd->setFixedCols(0);
    }

    const int fijas = Grd->FixedCols();
    const int n = static_cast<int>(std::min<qsizetype>(definiciones->size(), kMaxColumnas));
    Grd->setCols(fijas + n);
    Tipos.assign(static_cast<size_t>(n), Texto);
    Formatos.assign(static_cast<size_t>(n), QString());
    const auto dado = [](const QVariantList& l, int i) {
        return i < l.size() && l[i].isValid() && !l[i].isNull() && !l[i].toString().isEmpty();
    };
    for (int i = 0; i < n; ++i) {
        const int col = fijas + i;
        const QVariant& d = definiciones->at(i);
        const QVariantList e = comoLista(d).value_or(QVariantList{d});
        Grd->setTextMatrix(0, col, dado(e, 0) ? textoDeValor(e[0]) : QString());
        Grd->setCeldaNegrita(0, col, true);
        if (dado(e, 1)) {
            bool ok = false;
            const double twips = e[1].toDouble(&ok);
            if (ok && twips >= 0 && std::isfinite(twips))
                Grd->setColWidth(col, static_cast<int>(std::min(twips, 1.0e7)));
        }
        int tipo = Texto;
        if (dado(e, 2)) {
            tipo = e[2].toInt();
            if (tipo == Entero || tipo == Decimal)
                Grd->setColAlignment(col, Qt::AlignRight);
            else if (tipo == Texto)
                Grd->setColAlignment(col, Qt::AlignLeft);
        } else {
            Grd->setColAlignment(col, Qt::AlignLeft);
        }
        Tipos[static_cast<size_t>(i)] = tipo;
        if (dado(e, 3))
            Formatos[static_cast<size_t>(i)] = e[3].toString();
    }

    Grd->setCelda(Grd->FixedRows(), fijas);
    Moviendo = false;
    colocarEditor(focoDentro());
}

QVariant EdMatrix::Matriz() const
{
    if (Grd->Rows() <= Grd->FixedRows() || Grd->Cols() <= Grd->FixedCols())
        return {};
    QVariantList filas;
    for (const QStringList& fila : Textos()) {
        QVariantList valores;
        for (const QString& t : fila)
            valores.append(t);
        filas.append(QVariant(valores));
    }
    return filas;
}

QList<QStringList> EdMatrix::Textos() const
{
    QList<QStringList> filas;
    for (int r = Grd->FixedRows(); r < Grd->Rows(); ++r) {
        QStringList fila;
        for (int c = Grd->FixedCols(); c < Grd->Cols(); ++c)
            fila.append(Grd->TextMatrix(r, c));
        filas.append(fila);
    }
    return filas;
}

void EdMatrix::setMatriz(const QVariant& valores)
{
    FijarMatriz(valores);
}

bool EdMatrix::FijarMatriz(const QVariant& valores)
{
    const std::optional<QVariantList> lista = comoLista(valores);
    if (!lista)
        return false;

    // A list holding lists is a list of rows; a row that is no list is a row of one value.
    std::vector<QVariantList> filas;
    filas.reserve(static_cast<size_t>(std::min<qsizetype>(lista->size(), kMaxFilas + 1)));
    const bool dosDimensiones = std::any_of(lista->begin(), lista->end(),
                                            [](const QVariant& v) { return comoLista(v).has_value(); });
    qint64 columnas = dosDimensiones ? 0 : 1;
    if (lista->size() > kMaxFilas)
        return false;
    for (const QVariant& v : *lista) {
        if (dosDimensiones) {
            filas.push_back(comoLista(v).value_or(QVariantList{v}));
            columnas = std::max<qint64>(columnas, filas.back().size());
        } else {
            filas.push_back(QVariantList{v});
        }
    }
    const qint64 nFilas = static_cast<qint64>(filas.size());
    if (columnas > kMaxColumnas || nFilas * columnas > kMaxCeldas)
        return false;

    const bool configurado = !Moviendo;
    Moviendo = true;
    // Values being loaded replace what is there; an edit not yet committed belongs to the
    // old values and must not land in the new ones.
    Modificado = false;
    const int fr = Grd->FixedRows();
    const int fc = Grd->FixedCols();
    Grd->setRows(fr + static_cast<int>(nFilas));
    Grd->setCols(fc + static_cast<int>(columnas));
    Grd->clearContents();
    Anchos.assign(static_cast<size_t>(columnas), 0.0);

    const QFontMetrics metrica(Grd->font());
    const double tpp = Grd->twipsPorPixelX();
    for (int c = 0; c < columnas; ++c) {
        const QString formato = formatoColumna(fc + c);
        double& ancho = Anchos[static_cast<size_t>(c)];
        for (int r = 0; r < nFilas; ++r) {
            const QVariantList& fila = filas[static_cast<size_t>(r)];
            if (c >= fila.size())
                continue;
            const QString texto = textoConFormato(fila[c], formato);
            if (texto.isEmpty())
                continue;
            Grd->setTextMatrix(fr + r, fc + c, texto);
            ancho = std::max(ancho, metrica.horizontalAdvance(texto) * tpp);
        }
    }
    m_matrizFijada = true;

    Grd->setCelda(fr, fc);
    Moviendo = !configurado;
    colocarEditor(focoDentro());
    return true;
}

void EdMatrix::AutoWidth()
{
    if (!m_matrizFijada)
        return;
    const double tpp = Grd->twipsPorPixelX();
    QStyle* estilo = Grd->style();
    // Room around a text: a cell's item margins and grid line, the overlay editor's margins
    // (its text margins, its contents margins and the caret), and a header section's margins.
    const int margenCelda = 2 * (estilo->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grd) + 1) + 1;
    const QMargins mt = txEdGrd->textMargins(), mc = txEdGrd->contentsMargins();
    const int margenEditor = 2 * 2 + mt.left() + mt.right() + mc.left() + mc.right() + 1;
    const int margenDatos = std::max(margenCelda, margenEditor) + 2;
    const int margenTitulo = 2 * estilo->pixelMetric(QStyle::PM_HeaderMargin, nullptr, Grd->horizontalHeader()) + 4;
    const QFontMetrics metricaDatos(Grd->font());
    const QFontMetrics metricaTitulos(Grd->horizontalHeader()->font());
    int total = 0;
    for (int c = 0; c < Grd->Cols(); ++c) {
        const int i = c - Grd->FixedCols();
        if (i >= 0 && i < static_cast<int>(Anchos.size())) {
            int ancho = static_cast<int>(std::lround(Anchos[static_cast<size_t>(i)] / tpp)) + margenDatos;
            for (int r = 0; r < Grd->Rows(); ++r) {
                const QString texto = Grd->TextMatrix(r, c);
                if (texto.isEmpty())
                    continue;
                ancho = std::max(ancho, r < Grd->FixedRows() ? metricaTitulos.horizontalAdvance(texto) + margenTitulo
                                                             : metricaDatos.horizontalAdvance(texto) + margenDatos);
            }
            Grd->setAnchoColumna(c, ancho);
        }
        total += Grd->anchoColumna(c);
    }
    total += 23;
    m_anchoPreferido = total;
    Grd->resize(total, Grd->height());
    resize(total, height());
    updateGeometry();
}

// --- the cell editor ---------------------------------------------------------------------

void EdMatrix::colocarEditor(bool darFoco)
{
    if (Moviendo || m_validando)
        return;
    if (Modificado) {
        qint16 fila = static_cast<qint16>(m_filaAnterior);
        qint16 col = static_cast<qint16>(m_colAnterior);
        QVariant valor = Formato(ValorTecleado(txEdGrd->text(), formatoColumna(m_colAnterior)), formatoColumna(m_colAnterior));
        bool cancelar = false;
        m_validando = true;
        emit Validar(fila, col, valor, cancelar);
        m_validando = false;
        if (cancelar) {
            Moviendo = true;
            Grd->setCelda(m_filaAnterior, m_colAnterior);
            Moviendo = false;
            // The edit is still pending: the user stays on it.
            txEdGrd->recolocar();
            if (txEdGrd->isVisible())
                txEdGrd->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (Grd->esCeldaDeDatos(fila, col))
            Grd->setTextMatrix(fila, col, textoDeValor(valor));
    }

    const int r = Grd->Row();
    const int c = Grd->Col();
    Qt::Alignment alineacion = Qt::AlignLeft;
    switch (tipoColumna(c)) {
    case 2:
    case 4:
    case 5:
        alineacion = Qt::AlignRight;
        break;
    case 7:
        alineacion = Qt::AlignHCenter;
        break;
    default:
        break;
    }
    txEdGrd->setAlignment(alineacion | Qt::AlignVCenter);
    const bool visible = txEdGrd->abrir(r, c, Grd->TextMatrix(r, c));
    m_filaAnterior = r;
    m_colAnterior = c;
    Modificado = false;
    txEdGrd->selectAll();
    if (visible && darFoco && txEdGrd->isVisible())
        txEdGrd->setFocus(Qt::OtherFocusReason);
}

void EdMatrix::alEditar(const QString& texto)
{
    if (!Grd->esCeldaDeDatos(txEdGrd->fila(), txEdGrd->col()))
        return;
    Grd->setTextMatrix(txEdGrd->fila(), txEdGrd->col(), texto);
    Modificado = true;
}

bool EdMatrix::alTeclaAbajo(QKeyEvent& evento)
{
    const int r = Grd->Row();
    const int c = Grd->Col();
    bool mueve = false;
    switch (evento.key()) {
    case Qt::Key_Left:
        mueve = c > Grd->FixedCols() && txEdGrd->inicioSeleccion() == 0;
        break;
    case Qt::Key_Right:
        mueve = c < Grd->Cols() - 1 && txEdGrd->inicioSeleccion() == txEdGrd->text().size();
        break;
    case Qt::Key_Up:
        mueve = r > Grd->FixedRows();
        break;
    case Qt::Key_Down:
        mueve = r < Grd->Rows() - 1;
        break;
    default:
        break;
    }
    if (!mueve)
        return false;
    TeclaPendiente = evento.key();
    Grd->setFocus(Qt::OtherFocusReason);
    // Without an active window the grid gets no focus event; replay the key anyway.
    repetirTeclaPendiente();
    return true;
}

void EdMatrix::repetirTeclaPendiente()
{
    if (TeclaPendiente == 0)
        return;
    const int tecla = TeclaPendiente;
    TeclaPendiente = 0;
    QKeyEvent pulsar(QEvent::KeyPress, tecla, Qt::NoModifier);
    QCoreApplication::sendEvent(Grd, &pulsar);
}

void EdMatrix::filtrarTecla(int& tecla) const
{
    if ((tecla >= '0' && tecla <= '9') || tecla == '\b')
        return;
    const int tipo = tipoColumna(txEdGrd->col());
    if (tipo != Entero && tipo != Decimal)
        return;
    if (tecla == '-') {
        if (txEdGrd->inicioSeleccion() != 0 || txEdGrd->textoFueraSeleccion().contains(QLatin1Char('-')))
            tecla = 0;
        return;
    }
    if ((tecla == ',' || tecla == '.') && tipo == Decimal) {
        const QChar separador = separadorDecimal();
        tecla = txEdGrd->textoFueraSeleccion().contains(separador) ? 0 : separador.unicode();
        return;
    }
    tecla = 0;
}

bool EdMatrix::alIntro()
{
    int r = Grd->Row();
    int c = Grd->Col();
    if (c < Grd->Cols() - 1) {
        ++c;
    } else if (r < Grd->Rows() - 1) {
        ++r;
        c = Grd->FixedCols();
    } else {
        return false;
    }
    Grd->setCelda(r, c);
    return true;
}

// --- focus -------------------------------------------------------------------------------

void EdMatrix::alCambiarFoco(QWidget* antes, QWidget* ahora)
{
    if (Moviendo || m_validando)
        return;
    const bool estabaDentro = antes && isAncestorOf(antes);
    const bool estaDentro = ahora && (ahora == this || isAncestorOf(ahora));
    // Focus going to another window (a message box, another program) does not leave the
    // control, nor does coming back from one enter it.
    if (estabaDentro && !estaDentro) {
        if (ahora && ahora->window() == window())
            validarAlSalir();
    } else if (!estabaDentro && estaDentro && antes && antes->window() == window()) {
        colocarEditor(true);
    }
}

void EdMatrix::validarAlSalir()
{
    if (!Modificado)
        return;
    const int f = txEdGrd->fila();
    const int c = txEdGrd->col();
    qint16 fila = static_cast<qint16>(f);
    qint16 col = static_cast<qint16>(c);
    QVariant valor = Grd->TextMatrix(f, c);
    bool cancelar = false;
    m_validando = true;
    emit Validar(fila, col, valor, cancelar);
    if (Grd->esCeldaDeDatos(fila, col))
        Grd->setTextMatrix(fila, col, textoDeValor(valor));
    // The box shows what the cell now holds, not the text typed before the handler ran.
    txEdGrd->fijarTexto(Grd->TextMatrix(f, c));
    if (cancelar) {
        txEdGrd->selectAll();
        if (txEdGrd->isVisible())
            txEdGrd->setFocus(Qt::OtherFocusReason);
        else
            Grd->setFocus(Qt::OtherFocusReason);
    } else {
        Modificado = false;
    }
    m_validando = false;
}

// --- size --------------------------------------------------------------------------------

void EdMatrix::resizeEvent(QResizeEvent* evento)
{
    QWidget::resizeEvent(evento);
    if (Redimensionando)
        return;
    const int altoFila = std::max(Grd->altoFila(0), 1);
    const int alto = std::max(height() / altoFila, 1) * altoFila + 4;
    Grd->setGeometry(0, 0, width(), alto);
    if (alto != height()) {
        Redimensionando = true;
        resize(width(), alto);
        Redimensionando = false;
    }
}
