#pragma once

#include "superficie.h"

#include "motormascaras.h"
#include "valor.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// A mask file taken apart: the template it names (empty in printer mode) and the
// sections in file order.
struct TextoMascara {
    QString plantilla;
    QStringList secciones;
};

// Splits the text of a mask file (already decoded) into its template line and sections,
// with `prefijo` put in front of the file text.
TextoMascara PrepararMascara(QString texto, const QString& prefijo);

// The section text with every placeholder replaced, in list order. Inserted values are never
// searched again, so data that happens to contain "@..." or a line break cannot turn into
// mask text.
QString SustituirMarcas(const QString& seccion, const ValoresMascara& valores);

// Text of a value as the masks print it.
QString TextoDeValor(const Valor& valor);

// Coordinate rules of the mask language, rounded to whole millimetres.
double CoordenadaX(const QString& campo, double actual, double anchoUtil);
double CoordenadaY(const QString& campo, double actual, double altoUtil);
// The mask conditions; `texto` is what "B"/"C" test, `posicion` what "X>"... compare.
bool CumpleCondicion(const QString& condicion, const QString& texto, QPointF posicion);

// Runs printer-mode sections against a drawing surface, keeping the print position and font
// from one section to the next as the printer did.
class InterpreteImpresora {
public:
    // The surface is asked for only when something needs it, so a run that draws nothing
    // opens no printer. `salto` is called for each page break whose condition holds and
    // answers whether the new page was started.
    InterpreteImpresora(std::function<SuperficieImpresion*()> superficie,
                        std::function<bool()> salto);

    void Ejecutar(const QString& seccion);
    // Pictures named in the mask are looked for beside it first, then in the current folder.
    void FijarCarpetaMascara(const QString& carpeta) { m_carpetaMascara = carpeta; }
    // After the surface started a new page.
    void PaginaNueva() { m_posicion = QPointF(0, 0); }

    // `texto` in pieces, whole words where they can be, each of which, put for `marca` in the
    // text `resto` of the text directive `dentro`, prints narrower than its width limit. One
    // piece when the directive has no limit. The print state is left as it was.
    QStringList PartirTexto(const QString& dentro, const QString& resto, const QString& marca, const QString& texto);

    QPointF Posicion() const { return m_posicion; }
    const FuenteImpresion& Fuente() const { return m_fuente; }

private:
    void Linea(const QString& linea);
    void Directiva(const QString& linea, qsizetype cierre);
    void DirectivaTexto(const QString& dentro, const QString& texto);
    // The nine fields of a text directive (the ninth, everything after the eighth comma, apart)
    // and the font they ask for.
    static QStringList CamposTexto(const QString& dentro, QString* noveno);
    FuenteImpresion FuenteDeCampos(const QStringList& f) const;
    SuperficieImpresion* Sup();
    double X(const QString& campo);
    double Y(const QString& campo);
    QString Cortar(const QString& texto, double limite);
    const QImage& Imagen(const QString& archivo);

    std::function<SuperficieImpresion*()> m_obtener;
    std::function<bool()> m_salto;
    SuperficieImpresion* m_sup = nullptr;
    QPointF m_posicion;
    FuenteImpresion m_fuente;
    QHash<QString, QImage> m_imagenes;
    int m_anidamiento = 0;
    QString m_carpetaMascara;
};
