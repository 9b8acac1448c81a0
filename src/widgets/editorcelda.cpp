#include "editorcelda.h"

#include "rejilla.h"
#include "listafilas.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>

EditorCelda::EditorCelda(Rejilla* rejilla)
    : EditorCelda(rejilla, rejilla,
                  {[rejilla](int f, int c) { return rejilla->esCeldaDeDatos(f, c); },
                   [rejilla](int f, int c) { return rejilla->celdaVisible(f, c); },
                   [rejilla](int f, int c) { return rejilla->rectCelda(f, c); }})
{
}

EditorCelda::EditorCelda(ListaFilas* lista)
    : EditorCelda(lista, nullptr,
                  {[lista](int f, int c) { return lista->esCeldaDeDatos(f, c); },
                   [lista](int f, int c) { return lista->celdaVisible(f, c); },
                   [lista](int f, int c) { return lista->rectCelda(f, c); }})
{
}

EditorCelda::EditorCelda(QTableView* vista, Rejilla* rejilla, Celdas celdas)
    : QLineEdit(vista->viewport()), m_vista(vista), m_rejilla(rejilla), m_celdas(std::move(celdas))
{
    setFrame(false);
    // Dropped text would skip the filters.
    setAcceptDrops(false);
    hide();

    connect(this, &QLineEdit::textEdited, this, &EditorCelda::editado);
    connect(m_vista->verticalScrollBar(), &QScrollBar::valueChanged, this, &EditorCelda::seguirCelda);
    connect(m_vista->horizontalScrollBar(), &QScrollBar::valueChanged, this, &EditorCelda::seguirCelda);
    connect(m_vista->horizontalHeader(), &QHeaderView::sectionResized, this, &EditorCelda::seguirCelda);
    connect(m_vista->verticalHeader(), &QHeaderView::sectionResized, this, &EditorCelda::seguirCelda);
    connect(m_vista->model(), &QAbstractItemModel::rowsRemoved, this, &EditorCelda::seguirCelda);
    connect(m_vista->model(), &QAbstractItemModel::columnsRemoved, this, &EditorCelda::seguirCelda);
    connect(m_vista->model(), &QAbstractItemModel::rowsInserted, this, &EditorCelda::seguirCelda);
    connect(m_vista->model(), &QAbstractItemModel::columnsInserted, this, &EditorCelda::seguirCelda);
    m_vista->viewport()->installEventFilter(this);
}

// --- placing -----------------------------------------------------------------------------

bool EditorCelda::abrir(int fila, int col, const QString& texto)
{
    if (!m_celdas.esDeDatos(fila, col)) {
        cerrar();
        return false;
    }
    m_fila = fila;
    m_col = col;
    m_abierto = true;
    fijarTexto(texto);
    return colocar();
}

bool EditorCelda::recolocar()
{
    return m_abierto && colocar();
}

bool EditorCelda::colocar()
{
    if (!m_celdas.visible(m_fila, m_col)) {
        if (!isHidden()) {
            // Hiding a focused box would hand the focus to whatever widget comes next.
            if (hasFocus())
                m_vista->setFocus(Qt::OtherFocusReason);
            hide();
        }
        return false;
    }
    setGeometry(m_celdas.rect(m_fila, m_col).marginsRemoved(m_margenes));
    show();
    raise();
    return true;
}

void EditorCelda::cerrar()
{
    m_abierto = false;
    if (!isHidden()) {
        if (hasFocus())
            m_vista->setFocus(Qt::OtherFocusReason);
        hide();
    }
}

void EditorCelda::seguirCelda()
{
    if (!m_abierto)
        return;
    if (!m_celdas.esDeDatos(m_fila, m_col)) {
        cerrar();
        return;
    }
    colocar();
}

bool EditorCelda::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == m_vista->viewport() && evento->type() == QEvent::Resize)
        seguirCelda();
    return QLineEdit::eventFilter(objeto, evento);
}

void EditorCelda::fijarTexto(const QString& texto)
{
    setText(texto);
}

void EditorCelda::setMargenes(const QMargins& margenes)
{
    m_margenes = margenes;
    seguirCelda();
}

void EditorCelda::setFiltroColumna(int col, FiltroTecla filtro)
{
    if (filtro)
        m_filtros[col] = std::move(filtro);
    else
        m_filtros.erase(col);
}

void EditorCelda::setLongitudColumna(int col, int maximo)
{
    if (maximo > 0)
        m_longitudes[col] = maximo;
    else
        m_longitudes.erase(col);
}

// --- selection as the filters see it -----------------------------------------------------

int EditorCelda::inicioSeleccion() const
{
    if (m_simulacion)
        return static_cast<int>(m_simulacion->antes.size());
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

int EditorCelda::largoSeleccion() const
{
    if (m_simulacion)
        return m_simulacion->seleccion;
    return hasSelectedText() ? selectionLength() : 0;
}

QString EditorCelda::texto() const
{
    if (m_simulacion) {
        // The selected part is still there until the first character replaces it.
        const QString actual = text();
        return m_simulacion->antes + actual.mid(m_simulacion->antes.size(), m_simulacion->seleccion)
            + m_simulacion->despues;
    }
    return text();
}

QString EditorCelda::textoFueraSeleccion() const
{
    if (m_simulacion)
        return m_simulacion->antes + m_simulacion->despues;
    const QString t = text();
    const int inicio = inicioSeleccion();
    return t.left(inicio) + t.mid(inicio + largoSeleccion());
}

// --- filters -----------------------------------------------------------------------------

// Runs the key through the filter and the length limit; false when it is dropped.
bool EditorCelda::filtrar(int& tecla) const
{
    const auto f = m_filtros.find(m_col);
    if (f != m_filtros.end())
        f->second(tecla);
    else if (m_filtroGeneral)
        m_filtroGeneral(tecla);
    if (tecla == 0)
        return false;
    if (tecla == '\b')
        return true;
    const auto l = m_longitudes.find(m_col);
    const int limite = l != m_longitudes.end() ? l->second : maxLength();
    return textoFueraSeleccion().size() < limite;
}

// The characters of `texto` that pass the filters when typed one after the other at the
// caret, replacing the selection.
QString EditorCelda::filtrarTexto(const QString& texto)
{
    const QString actual = text();
    const int inicio = inicioSeleccion();
    Simulacion sim;
    sim.antes = actual.left(inicio);
    sim.seleccion = largoSeleccion();
    sim.despues = actual.mid(inicio + sim.seleccion);
    m_simulacion = &sim;
    QString aceptado;
    for (char32_t c : texto.toUcs4()) {
        if (c < 32 || c == 127)
            continue;  // line breaks and tabs from the clipboard
        int tecla = static_cast<int>(c);
        if (!filtrar(tecla) || tecla == '\b')
            continue;
        const QString caracter = QString::fromUcs4(reinterpret_cast<const char32_t*>(&tecla), 1);
        aceptado += caracter;
        sim.antes += caracter;
        sim.seleccion = 0;
    }
    m_simulacion = nullptr;
    return aceptado;
}

void EditorCelda::insertarFiltrado(const QString& texto)
{
    if (isReadOnly())
        return;
    const QString aceptado = filtrarTexto(texto);
    if (!aceptado.isEmpty())
        insert(aceptado);
}

void EditorCelda::pegar(QClipboard::Mode modo)
{
    insertarFiltrado(QGuiApplication::clipboard()->text(modo));
}

// --- events ------------------------------------------------------------------------------

void EditorCelda::keyPressEvent(QKeyEvent* evento)
{
    if (m_teclaAbajo && m_teclaAbajo(*evento)) {
        evento->accept();
        return;
    }
    if (evento->matches(QKeySequence::Paste)) {
        pegar();
        evento->accept();
        return;
    }
    const int k = evento->key();
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
        if (m_intro && m_intro()) {
            evento->accept();
            return;
        }
        QLineEdit::keyPressEvent(evento);
        return;
    }

    const QList<uint> caracteres = evento->text().toUcs4();
    const bool control = evento->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    const bool borrar = k == Qt::Key_Backspace;
    // Control characters (Delete arrives as 0x7F on X11) are editing keys, not typed text.
    if (caracteres.size() != 1 || (control && !borrar) || ((caracteres[0] < 32 || caracteres[0] == 127) && !borrar)) {
        QLineEdit::keyPressEvent(evento);
        return;
    }
    int tecla = borrar ? '\b' : static_cast<int>(caracteres[0]);
    const int original = tecla;
    if (!filtrar(tecla)) {
        evento->accept();
        return;
    }
    if (tecla == original) {
        QLineEdit::keyPressEvent(evento);
    } else if (tecla == '\b') {
        backspace();
    } else {
        const char32_t c = static_cast<char32_t>(tecla);
        insert(QString::fromUcs4(&c, 1));
    }
    evento->accept();
}

void EditorCelda::inputMethodEvent(QInputMethodEvent* evento)
{
    if (evento->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(evento);
        return;
    }
    QInputMethodEvent filtrado(evento->preeditString(), evento->attributes());
    filtrado.setCommitString(filtrarTexto(evento->commitString()), evento->replacementStart(),
                             evento->replacementLength());
    QLineEdit::inputMethodEvent(&filtrado);
}

void EditorCelda::mouseReleaseEvent(QMouseEvent* evento)
{
    // The selection paste of X11 desktops.
    if (evento->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        pegar(QClipboard::Selection);
        evento->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(evento);
}

void EditorCelda::contextMenuEvent(QContextMenuEvent* evento)
{
    QPointer<QMenu> menu = createStandardContextMenu();
    const QString pegarTexto = QLineEdit::tr("&Paste");
    for (QAction* accion : menu->actions()) {
        if (accion->text().startsWith(pegarTexto)) {
            disconnect(accion, nullptr, this, nullptr);
            connect(accion, &QAction::triggered, this, [this] { pegar(); });
        }
    }
    menu->exec(evento->globalPos());
    delete menu;
}

void EditorCelda::focusInEvent(QFocusEvent* evento)
{
    QLineEdit::focusInEvent(evento);
    emit focoRecibido();
}

void EditorCelda::focusOutEvent(QFocusEvent* evento)
{
    QLineEdit::focusOutEvent(evento);
    emit focoPerdido();
}
