#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <QMargins>

#include <functional>
#include <map>

class QTableView;
class Rejilla;
class ListaFilas;

// The text box laid over one cell of a Rejilla: a child of the grid's viewport that sits on
// the cell's rectangle, follows it when the grid scrolls or resizes, and hides while the
// cell is out of view. What the box does with keys and texts is left to its owner through
// hooks:
//  - a key-down hook sees every key first and may swallow it (cell moves on arrows);
//  - key filters, per column or general, see each typed character as a code (8 for
//    Backspace) and may drop it (set it to 0) or change it;
//  - an Enter hook routes Enter (returns true when it moved, and the key is swallowed);
//  - per-column length limits: a key is dropped when the text outside the selection is
//    already that long (Backspace always passes).
// Pasted, dropped-in and composed text goes through the same filters and limits one
// character at a time, as if typed. `editado` is raised for user changes only.
class EditorCelda : public QLineEdit {
    Q_OBJECT

public:
    using FiltroTecla = std::function<void(int& tecla)>;
    using TeclaAbajo = std::function<bool(QKeyEvent& evento)>;
    using Intro = std::function<bool()>;

    explicit EditorCelda(Rejilla* rejilla);
    // Over a browser's read-only list (its settle box).
    explicit EditorCelda(ListaFilas* lista);

    // Null when the box lies over a ListaFilas.
    Rejilla* rejilla() const { return m_rejilla; }

    // Lays the box on a data cell with `texto` (no `editado`); shows it only when the cell
    // is in view. Returns whether it is shown; false, and the box closed, for a fixed or
    // missing cell. Neither focuses nor selects: the owner decides.
    bool abrir(int fila, int col, const QString& texto);
    // Moves the open box to its cell again (after a size change); returns whether it shows.
    bool recolocar();
    // Hides the box; when it had the focus, the grid takes it.
    void cerrar();
    bool estaAbierto() const { return m_abierto; }
    int fila() const { return m_fila; }
    int col() const { return m_col; }

    // Replaces the text without raising `editado`.
    void fijarTexto(const QString& texto);

    // Inset of the box within the cell's rectangle.
    void setMargenes(const QMargins& margenes);

    void setTeclaAbajo(TeclaAbajo gancho) { m_teclaAbajo = std::move(gancho); }
    void setFiltroColumna(int col, FiltroTecla filtro);
    void setFiltroGeneral(FiltroTecla filtro) { m_filtroGeneral = std::move(filtro); }
    void setLongitudColumna(int col, int maximo);  // 0 removes the limit
    void setIntro(Intro gancho) { m_intro = std::move(gancho); }

    // Caret and selection as the old text boxes gave them: where the selection starts (the
    // caret when nothing is selected) and its length. While a paste is filtered these
    // describe the text as it would be at that character.
    int inicioSeleccion() const;
    int largoSeleccion() const;
    QString texto() const;
    // The text before the selection followed by the text after it.
    QString textoFueraSeleccion() const;

    // Pastes the clipboard's text through the filters.
    void pegar(QClipboard::Mode modo = QClipboard::Clipboard);
    // Inserts `texto` at the caret, each character through the filters and limits.
    void insertarFiltrado(const QString& texto);

signals:
    void editado(const QString& texto);
    void focoRecibido();
    void focoPerdido();

protected:
    void keyPressEvent(QKeyEvent* evento) override;
    void inputMethodEvent(QInputMethodEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;
    void contextMenuEvent(QContextMenuEvent* evento) override;
    void focusInEvent(QFocusEvent* evento) override;
    void focusOutEvent(QFocusEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    bool filtrar(int& tecla) const;
    QString filtrarTexto(const QString& texto);
    bool colocar();
    void seguirCelda();

    // How the box finds its cells, whichever grid it lies over.
    struct Celdas {
        std::function<bool(int, int)> esDeDatos;
        std::function<bool(int, int)> visible;
        std::function<QRect(int, int)> rect;
    };
    EditorCelda(QTableView* vista, Rejilla* rejilla, Celdas celdas);

    QTableView* m_vista;
    Rejilla* m_rejilla;
    Celdas m_celdas;
    int m_fila = -1;
    int m_col = -1;
    bool m_abierto = false;
    QMargins m_margenes;

    TeclaAbajo m_teclaAbajo;
    Intro m_intro;
    FiltroTecla m_filtroGeneral;
    std::map<int, FiltroTecla> m_filtros;
    std::map<int, int> m_longitudes;

    // Text state seen by the filters while a paste is filtered character by character.
    struct Simulacion {
        QString antes;
        QString despues;
        int seleccion = 0;  // length still selected; only the first character replaces it
    };
    const Simulacion* m_simulacion = nullptr;
};
