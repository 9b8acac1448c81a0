#pragma once

#include <QDate>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class EditorCelda;
class MotorMascaras;
class NavegadorDocumentos;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class Rejilla;

// What the document editors share: the header with number, date, customer (code and name with
// completion) and discounts; the lines grid edited through one box laid over the current cell,
// with a comment row under a line that has a comment and an empty entry row at the end; the
// row-to-line mapping; the key routing of a per-column table; and the save, cancel and print
// flows with their messages. A derived editor describes its columns and moves values between
// the cells and its document.
class EditorDocumento : public QWidget {
    Q_OBJECT

public:
    ~EditorDocumento() override;

    long NumeroEditado() const { return m_numeroEditado; }
    // The series of the document opened, for documents numbered within a series; none otherwise.
    virtual std::optional<qint16> SerieEditada() const { return std::nullopt; }
    bool Cambios() const { return m_cambios; }

    // Where Enter takes the editor from a column.
    struct Intro {
        int col = -1;                // -1: stays
        bool filaSiguiente = false;  // to `col` of the next row, when there is one
    };
    struct Columna {
        QString titulo;
        int ancho = 0;  // pixels
        Qt::Alignment alineacion;
        int derecha = 0;    // Right arrow from the end of the text
        int izquierda = 0;  // Left arrow from the start of the text
        Intro intro;
        int longitud = 0;  // characters; 0 without limit
        QString muestra = {};  // the widest text shown, when it is not `longitud` digits
    };

protected:
    EditorDocumento(const QString& titulo, std::vector<Columna> columnas, long numeroEditado, QWidget* parent);

    // Builds the window once the derived part exists; `totales` goes under the grid at the left.
    void Construir(QWidget* totales, QWidget* extraCabecera = nullptr);
    // Shows the window in the main window's document area (alone when there is none), where
    // it was last left.
    void Mostrar();
    // Fills every control from the document and opens the editing state.
    void Cargar(bool abiertoPorNumero);

    // --- what the derived editor provides -----------------------------------------------
    // The document was (re)loaded: whatever the editor keeps beside it starts again.
    virtual void DocumentoCargado() {}
    virtual int NumeroLineas() const = 0;
    virtual QString Comentario(int linea) const = 0;
    virtual void FijarComentario(int linea, const QString& texto) = 0;
    virtual bool NuevaLinea() = 0;
    virtual bool EliminarLinea(int linea) = 0;
    // The texts of a line's own row, one per column.
    virtual QStringList TextosLinea(int linea) const = 0;
    // False while the lines cannot change.
    virtual bool Editable() const { return true; }
    // Key filter of a cell (digits, commas...): sets `tecla` to 0 to drop it.
    virtual void FiltrarCelda(int linea, int col, int& tecla) const = 0;
    // Why `texto` cannot go into that cell; empty when it can.
    virtual QString FueraDeLimites(int linea, int col, const QString& texto) const = 0;
    // The user changed the text of a line's cell (linea 0: the entry row made no line).
    virtual void CeldaEditada(int linea, int col, const QString& texto) = 0;
    // A column whose text the line takes whole when the cell is left, not key by key (a code
    // typed digit by digit would pass through other codes on its way).
    virtual bool CeldaAlSalir(int /*col*/) const { return false; }
    virtual bool TragarSuprimir(int /*col*/) const { return false; }
    virtual void PintarTotales() = 0;

    virtual std::optional<qint32> NumeroDocumento() const = 0;
    virtual void FijarNumeroDocumento(qint32 numero) = 0;
    virtual QDate FechaDocumento() const = 0;
    virtual void FijarFechaDocumento(const QDate& fecha) = 0;
    virtual std::optional<qint32> ClienteDocumento() const = 0;
    // The document takes the customer; false when it refuses.
    virtual bool FijarCliente(qint32 codigo) = 0;
    virtual float DescuentoDocumento() const = 0;
    virtual float DesctoPPDocumento() const = 0;
    virtual void DescuentoEditado(const QString& texto) = 0;
    virtual void DesctoPPEditado(const QString& texto) = 0;
    virtual void DescuentoAbandonado() {}
    virtual void DesctoPPAbandonado() {}
    // Locked fields of a document that cannot change.
    virtual bool ClienteBloqueado() const { return false; }

    // Saving. A question to ask before the document is written (an empty note); empty for none.
    virtual QString PreguntaAntesDeGuardar() const { return {}; }
    virtual bool GuardarDocumento() = 0;
    // The document's own reason for the last failure, when it gives one.
    virtual QString MotivoFallo() const { return {}; }
    // After a save that leaves the window open: the document as stored.
    virtual bool RecargarDocumento() = 0;
    virtual void TrasGuardar() = 0;
    virtual bool GuardarAntesDeImprimir() const = 0;
    virtual bool ImprimirDocumento(MotorMascaras& motor, const QString& carpeta) = 0;
    virtual QString MascaraImpresion() const = 0;
    virtual void AlCancelar() {}
    virtual NavegadorDocumentos* Navegador() const = 0;

    // --- helpers for the derived editor --------------------------------------------------
    void MarcarCambios() { m_cambios = true; }
    // A warning shown once the key or the cell change at hand is over.
    void AvisarFueraDeLimites(const QString& motivo);
    // The article completion on the cell editor; the code found, 0 when none.
    qint32 AutoescribirArticulo();
    // Customer chosen again: the derived editor refreshes what depends on it.
    virtual void ClienteElegido() {}
    void PintarFila(int fila);
    void PintarRejilla();
    // Row of the grid to line (0 when the row has no line); `comentario` tells a comment row.
    int LineaDeFila(int fila, bool* comentario = nullptr) const;
    int PrimeraFilaDeLinea(int linea) const;
    QMessageBox::StandardButton Mensaje(const QString& texto, QMessageBox::StandardButtons botones, QMessageBox::Icon icono,
                                        QMessageBox::StandardButton porDefecto = QMessageBox::NoButton);
    void FijarPadre(NavegadorDocumentos* padre);
    // Told when the window closes.
    virtual NavegadorDocumentos* Padre() const;

    bool m_cargando = true;
    Rejilla* m_grd = nullptr;
    EditorCelda* m_txEd = nullptr;
    QLineEdit* m_txNumero = nullptr;
    QDateEdit* m_pkFecha = nullptr;
    QLineEdit* m_txCodCli = nullptr;
    QLineEdit* m_txCliente = nullptr;
    QLabel* m_lbCliente = nullptr;
    QLineEdit* m_txDescuento = nullptr;
    QLineEdit* m_txDesctoPP = nullptr;
    QLabel* m_lbAux = nullptr;
    QPushButton* m_insCom = nullptr;
    QPushButton* m_borrar = nullptr;
    QPushButton* m_imprim = nullptr;
    QPushButton* m_aceptar = nullptr;
    QPushButton* m_cancelar = nullptr;

public:
    // The whole grid, header and buttons: the size the window first opens with.
    QSize sizeHint() const override { return m_tamanoInicial; }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    QSize m_tamanoInicial;

    void CrearCabecera(QWidget* extra);
    void CrearRejilla();
    void Colocar();

    void AbrirEditor();
    void CerrarEditor();
    void AlCambiarCelda();
    void AlDesplazar();
    bool TeclaAbajo(QKeyEvent& evento);
    bool TeclaIntro();
    void FiltrarTecla(int& tecla);
    void AlEditarCelda(const QString& texto);
    void IrA(int fila, int col);

    void AlEditarNumero(const QString& texto);
    void AlEditarCliente();
    void AlEditarCodCli(const QString& texto);
    void CopiarEtiquetaCliente();
    void AlEditarDescuento(QLineEdit* campo, const QString& texto);
    void IrALineas();

    void InsertarComentario();
    void BorrarFila();
    bool Guardar();
    void Aceptar();
    void Cancelar();
    void Imprimir();
    void Descargar();

    QString m_titulo;
    std::vector<Columna> m_columnas;
    long m_numeroEditado = 0;
    NavegadorDocumentos* m_padre = nullptr;
    QPointer<QObject> m_padreObjeto;  // the parent's window, when it is one, to know it still exists
    bool m_padreEsObjeto = false;
    bool m_cambios = false;
    bool m_enlazando = false;
    bool m_guardaEditor = false;
    bool m_cerrandoAdrede = false;
    bool m_serviciosIniciados = false;
    bool m_avisoPendiente = false;
    qint16 m_largoClientes = 0;
    qint16 m_largoArticulos = 0;
    // Row of each grid row's line (0 none) and whether it is a comment row, rebuilt after a
    // change of rows so that a keystroke does not walk every line.
    struct FilaLinea {
        int linea = 0;
        bool comentario = false;
    };
    void InvalidarFilas() { m_filasValidas = false; }
    mutable std::vector<FilaLinea> m_filas;
    mutable bool m_filasValidas = false;
    QWidget* m_cabecera = nullptr;
    QWidget* m_pie = nullptr;
};
