#pragma once

#include <tramix/tramix_export.h>

#include <QList>
#include <QLocale>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <vector>

class Rejilla;
class EditorCelda;
class QKeyEvent;

// A grid in which the user types the values of a small matrix. A text box always lies over
// the current cell, so typing goes straight into it; arrow keys and Enter move between
// cells; each column has a value type that limits the keys it accepts and a format applied
// when a value is committed; the host checks and corrects every edited value in Validar.
//
// Arrays are QVariantLists (or QStringLists); a two-dimensional array is a list of rows.
class TRAMIX_EXPORT EdMatrix : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QVariant Matriz READ Matriz WRITE setMatriz DESIGNABLE false)

public:
    // Value types of a column; any other code behaves as text.
    enum Tipo { Texto = 8, Entero = 2, Decimal = 5, Fecha = 7 };
    Q_ENUM(Tipo)

    // Largest matrix accepted by Matriz; rows and columns stay within 16-bit cell numbers.
    static constexpr int kMaxFilas = 32766;
    static constexpr int kMaxColumnas = 32766;
    static constexpr qint64 kMaxCeldas = 250000;

    explicit EdMatrix(QWidget* parent = nullptr);
    ~EdMatrix() override;

    // Row titles (optional array of texts) and column definitions: an array with, for each
    // column, an array of up to four elements: title, width in twips, type code, format.
    // An empty or null element keeps the default. Does nothing when `columnas` is no array.
    Q_INVOKABLE void Setup(const QVariant& titulosFilas, const QVariant& columnas);

    // Every data cell as texts, a list of rows; an invalid QVariant when the grid has no
    // data row or column.
    QVariant Matriz() const;
    // One value per row (one column) or a list of rows. Anything else, or a matrix larger
    // than the limits above, leaves the grid as it was.
    void setMatriz(const QVariant& valores);
    // As setMatriz; false when the value was not taken.
    bool FijarMatriz(const QVariant& valores);
    QList<QStringList> Textos() const;

    // Fits every data column to the widest text Matriz wrote into it; nothing before Matriz.
    Q_INVOKABLE void AutoWidth();

    QSize sizeHint() const override;

    // Number format of every EdMatrix: the system's, or Spanish where the system has none,
    // unless the host fixes one here.
    static void FijarLocal(const QLocale& local);
    static QLocale Local();

signals:
    // A changed cell is committed. The handler may change every argument: the value is
    // written into the cell (Row, Col) it leaves; Cancel keeps the user in the cell.
    void Validar(qint16& Row, qint16& Col, QVariant& Value, bool& Cancel);

protected:
    void resizeEvent(QResizeEvent* evento) override;

private:
    int tipoColumna(int col) const;
    QString formatoColumna(int col) const;
    void colocarEditor(bool darFoco);
    bool alTeclaAbajo(QKeyEvent& evento);
    void filtrarTecla(int& tecla) const;
    bool alIntro();
    void alEditar(const QString& texto);
    void alRecibirFocoRejilla();
    void repetirTeclaPendiente();
    void alCambiarFoco(QWidget* antes, QWidget* ahora);
    void validarAlSalir();
    bool focoDentro() const;

    Rejilla* Grd;
    EditorCelda* txEdGrd;

    std::vector<int> Tipos;
    std::vector<QString> Formatos;
    std::vector<double> Anchos;  // twips
    bool m_matrizFijada = false;
    bool Moviendo = true;
    bool Modificado = false;
    int TeclaPendiente = 0;      // Qt key code of an arrow to replay on the grid
    int m_filaAnterior = 0;
    int m_colAnterior = 0;
    bool Redimensionando = false;
    bool m_validando = false;    // a Validar handler is running
    int m_anchoPreferido = 0;
};
