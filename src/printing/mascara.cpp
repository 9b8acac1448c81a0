#include "mascara.h"

#include "codigoqr.h"
#include "formato.h"
#include "utilidades.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <cmath>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSeparador = QStringLiteral("####\r\n");
const QString kPlantilla = QStringLiteral("[PLANTILLA,");

// Limits that keep absurd masks from hurting: positions stay in what a 16-bit printer
// coordinate held, fonts and pens within what paper can show.
constexpr double kMaxCoordenada = 32767;
constexpr double kMaxPuntos = 1000;
constexpr int kMaxGrosor = 1000;
constexpr int kMaxAnidamiento = 8;

// Masks written on Linux end their lines in LF alone; the format is CR LF throughout.
QString FinesDeLineaCrLf(const QString& texto)
{
    if (!texto.contains(QLatin1Char('\n')))
        return texto;
    QString r;
    r.reserve(texto.size() + texto.size() / 20);
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        if (c == QLatin1Char('\n') && (i == 0 || texto[i - 1] != QLatin1Char('\r')))
            r += QLatin1Char('\r');
        r += c;
    }
    return r;
}

bool EsNumero(const QString& campo)
{
    static const QRegularExpression numero(QStringLiteral(R"(^[+-]?(\d+([.,]\d*)?|[.,]\d+)$)"));
    return numero.match(campo.trimmed()).hasMatch();
}

double Numero(const QString& campo)
{
    QString s = campo.trimmed();
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    return s.toDouble();
}

double Milimetros(double valor)
{
    if (!std::isfinite(valor))
        return 0;
    return std::nearbyint(std::clamp(valor, -kMaxCoordenada, kMaxCoordenada));  // halves to even
}

int Grosor(const QString& campo)
{
    const double v = Val(campo);
    return static_cast<int>(std::clamp(std::isfinite(v) ? v : 1.0, 1.0, double(kMaxGrosor)));
}

bool SignoYCifra(const QString& campo)
{
    return campo.size() >= 2 && (campo[0] == QLatin1Char('+') || campo[0] == QLatin1Char('-'))
        && campo[1].isDigit() && campo[1].unicode() < 128;
}

QStringList Campos(const QString& texto)
{
    QStringList campos = texto.split(QLatin1Char(','));
    for (QString& c : campos)
        c = c.trimmed();
    return campos;
}

QString Campo(const QStringList& campos, int i) { return i < campos.size() ? campos[i] : QString(); }

} // namespace

TextoMascara PrepararMascara(QString texto, const QString& prefijo)
{
    TextoMascara r;
    if (texto.startsWith(QChar(0xFEFF)))
        texto.remove(0, 1);
    texto = FinesDeLineaCrLf(texto);

    const qsizetype inicio = texto.indexOf(kPlantilla);
    if (inicio >= 0) {
        const qsizetype fin = texto.indexOf(kCrLf, inicio);
        if (fin >= 0) {
            const QString linea = texto.mid(inicio, fin - inicio);
            const qsizetype cierre = linea.indexOf(QLatin1Char(']'));
            if (cierre > kPlantilla.size())
                r.plantilla = linea.mid(kPlantilla.size(), cierre - kPlantilla.size()).trimmed();
            texto.remove(inicio, fin + kCrLf.size() - inicio);
        }
    }

    QString completo;
    const QString cabeza = FinesDeLineaCrLf(prefijo);
    if (cabeza.size() < 2)
        completo = texto;
    else if (cabeza.endsWith(kCrLf))
        completo = cabeza + texto;
    else
        completo = cabeza + kCrLf + texto;

    qsizetype desde = 0;
    while (desde < completo.size()) {
        const qsizetype p = completo.indexOf(kSeparador, desde);
        if (p < 0) {
            r.secciones << completo.mid(desde);
            break;
        }
        r.secciones << completo.mid(desde, p - desde);
        desde = p + kSeparador.size();
    }
    return r;
}

QString TextoDeValor(const Valor& valor)
{
    switch (valor.tipo()) {
    case Valor::Tipo::Fecha: return Formato(valor, QStringLiteral("dd/mm/yyyy"));
    case Valor::Tipo::FechaHora: return Formato(valor, QStringLiteral("dd/mm/yyyy hh:nn:ss"));
    case Valor::Tipo::Numero: return LocalNumeros().toString(valor.aNumero(), 'g', 15);
    default: return valor.aTexto();
    }
}

QString SustituirMarcas(const QString& seccion, const ValoresMascara& valores)
{
    // The text as pieces of mask and pieces of inserted value; only mask pieces are searched.
    struct Trozo {
        QString texto;
        bool valor;
    };
    std::vector<Trozo> trozos{{seccion, false}};
    for (size_t i = 0; i < valores.size(); ++i) {
        const QString marca = valores[i].marca.value_or(
            QLatin1Char('@') + NumeroConCeros(static_cast<qint64>(i), 2));
        if (marca.isEmpty())
            continue;
        QString valor = TextoDeValor(valores[i].valor);
        valor.replace(kCrLf, QStringLiteral(" "));
        valor.replace(QLatin1Char('\r'), QLatin1Char(' '));
        valor.replace(QLatin1Char('\n'), QLatin1Char(' '));

        std::vector<Trozo> nuevos;
        nuevos.reserve(trozos.size());
        for (Trozo& t : trozos) {
            if (t.valor || !t.texto.contains(marca)) {
                nuevos.push_back(std::move(t));
                continue;
            }
            qsizetype desde = 0;
            for (qsizetype p = t.texto.indexOf(marca); p >= 0; p = t.texto.indexOf(marca, desde)) {
                if (p > desde)
                    nuevos.push_back({t.texto.mid(desde, p - desde), false});
                if (!valor.isEmpty())
                    nuevos.push_back({valor, true});
                desde = p + marca.size();
            }
            if (desde < t.texto.size())
                nuevos.push_back({t.texto.mid(desde), false});
        }
        trozos = std::move(nuevos);
    }
    QString r;
    for (const Trozo& t : trozos)
        r += t.texto;
    return r;
}

double CoordenadaX(const QString& campo, double actual, double anchoUtil)
{
    const QString c = campo.trimmed().toUpper();
    if (c == QLatin1String("W"))
        return Milimetros(anchoUtil);
    if (c == QLatin1String("C"))
        return Milimetros(anchoUtil / 2);
    // One digit after the sign is a step from here; anything longer is a place on the page.
    if (c.size() == 2 && SignoYCifra(c))
        return Milimetros(actual + Val(c));
    if (EsNumero(c))
        return Milimetros(Numero(c));
    return Milimetros(actual);
}

double CoordenadaY(const QString& campo, double actual, double altoUtil)
{
    const QString c = campo.trimmed().toUpper();
    if (c == QLatin1String("H"))
        return Milimetros(altoUtil);
    if (c == QLatin1String("C"))
        return Milimetros(altoUtil / 2);
    if (SignoYCifra(c))
        return Milimetros(actual + Val(c));
    if (EsNumero(c))
        return Milimetros(Numero(c));
    return Milimetros(actual);
}

bool CumpleCondicion(const QString& condicion, const QString& texto, QPointF posicion)
{
    const QString c = condicion.trimmed().toUpper();
    if (c.isEmpty())
        return true;
    if (c == QLatin1String("B") || c == QLatin1String("C"))
        return !texto.isEmpty();
    if (c == QLatin1String("N"))
        return false;
    if (c.size() == 1)
        return true;
    if (c.size() > 2 && (c[0] == QLatin1Char('X') || c[0] == QLatin1Char('Y'))
        && (c[1] == QLatin1Char('>') || c[1] == QLatin1Char('<')) && EsNumero(c.mid(2))) {
        const double n = Numero(c.mid(2));
        const double actual = c[0] == QLatin1Char('X') ? posicion.x() : posicion.y();
        return c[1] == QLatin1Char('>') ? actual >= n : actual <= n;
    }
    return true;
}

InterpreteImpresora::InterpreteImpresora(std::function<SuperficieImpresion*()> superficie,
                                         std::function<bool()> salto)
    : m_obtener(std::move(superficie)), m_salto(std::move(salto))
{
}

SuperficieImpresion* InterpreteImpresora::Sup()
{
    if (!m_sup) {
        m_sup = m_obtener();
        m_sup->FijarFuente(m_fuente);
    }
    return m_sup;
}

double InterpreteImpresora::X(const QString& campo)
{
    const QString c = campo.trimmed().toUpper();
    const double ancho = (c == QLatin1String("W") || c == QLatin1String("C")) ? Sup()->AreaUtil().width() : 0;
    return CoordenadaX(campo, m_posicion.x(), ancho);
}

double InterpreteImpresora::Y(const QString& campo)
{
    const QString c = campo.trimmed().toUpper();
    const double alto = (c == QLatin1String("H") || c == QLatin1String("C")) ? Sup()->AreaUtil().height() : 0;
    return CoordenadaY(campo, m_posicion.y(), alto);
}

void InterpreteImpresora::Ejecutar(const QString& seccion)
{
    qsizetype desde = 0;
    while (desde < seccion.size()) {
        qsizetype fin = seccion.indexOf(kCrLf, desde);
        if (fin < 0)
            fin = seccion.size();
        Linea(seccion.mid(desde, fin - desde));
        desde = fin + kCrLf.size();
    }
}

void InterpreteImpresora::Linea(const QString& linea)
{
    if (linea.startsWith(QLatin1Char('['))) {
        const qsizetype cierre = linea.indexOf(QLatin1Char(']'));
        if (cierre > 0) {
            Directiva(linea, cierre);
            return;
        }
    }
    if (linea.startsWith(QLatin1Char('\'')) || linea.startsWith(QLatin1Char(';')))
        return;
    SuperficieImpresion* sup = Sup();
    if (!linea.isEmpty())
        sup->Texto(m_posicion, linea);
    m_posicion = QPointF(0, m_posicion.y() + sup->AltoLinea());
}

void InterpreteImpresora::Directiva(const QString& linea, qsizetype cierre)
{
    const QString dentro = linea.mid(1, cierre - 1);
    const QString texto = linea.mid(cierre + 1);

    enum Clave { Papel, Pos, Raya, RayaH, RayaV, Cuadro, Ovalo, Bitmap, Qr };
    static const QString claves[] = {
        QStringLiteral("PAPEL,"), QStringLiteral("POS,"),    QStringLiteral("RAYA,"),
        QStringLiteral("RAYAH,"), QStringLiteral("RAYAV,"),  QStringLiteral("CUADRO,"),
        QStringLiteral("OVALO,"), QStringLiteral("BITMAP,"), QStringLiteral("QR,"),
    };
    for (int k = Papel; k <= Qr; ++k) {
        const qsizetype p = dentro.indexOf(claves[k]);
        if (p < 0)
            continue;
        const QStringList f = Campos(dentro.mid(p + claves[k].size()));
        switch (k) {
        case Papel: {
            const QString tam = Campo(f, 0).toUpper();
            const int codigo = tam == QLatin1String("A4") ? 9
                : tam == QLatin1String("A5")              ? 11
                                                          : static_cast<int>(std::clamp(Val(tam), -1.0, 1000.0));
            Sup()->FijarPapel(codigo);
            break;
        }
        case Pos: {
            const double x = X(Campo(f, 0));
            const double y = Y(Campo(f, 1));
            m_posicion = QPointF(x, y);
            break;
        }
        case Raya:
        case RayaH: {
            const int grosor = Grosor(Campo(f, 0));
            const double x1 = X(Campo(f, 1)), x2 = X(Campo(f, 2)), y = Y(Campo(f, 3));
            if (CumpleCondicion(Campo(f, 4), texto, m_posicion))
                Sup()->Linea(QPointF(x1, y), QPointF(x2, y), grosor);
            break;
        }
        case RayaV: {
            const int grosor = Grosor(Campo(f, 0));
            const double y1 = Y(Campo(f, 1)), y2 = Y(Campo(f, 2)), x = X(Campo(f, 3));
            if (CumpleCondicion(Campo(f, 4), texto, m_posicion))
                Sup()->Linea(QPointF(x, y1), QPointF(x, y2), grosor);
            break;
        }
        case Cuadro:
        case Ovalo: {
            const int grosor = Grosor(Campo(f, 0));
            const double x1 = X(Campo(f, 1)), y1 = Y(Campo(f, 2));
            const double x2 = X(Campo(f, 3)), y2 = Y(Campo(f, 4));
            if (!CumpleCondicion(Campo(f, 5), texto, m_posicion))
                break;
            if (k == Cuadro) {
                SuperficieImpresion* sup = Sup();
                sup->Linea(QPointF(x1, y1), QPointF(x2, y1), grosor);
                sup->Linea(QPointF(x2, y1), QPointF(x2, y2), grosor);
                sup->Linea(QPointF(x2, y2), QPointF(x1, y2), grosor);
                sup->Linea(QPointF(x1, y2), QPointF(x1, y1), grosor);
            } else if (x2 - x1 >= 1 && y2 - y1 >= 1) {
                Sup()->Elipse(QRectF(QPointF(x1, y1), QPointF(x2, y2)), grosor);
            }
            break;
        }
        case Bitmap: {
            // The old program read the first two corners with the horizontal rules and the
            // last two with the vertical ones; masks that use "W"/"H" there rely on it.
            const double a = X(Campo(f, 1)), b = X(Campo(f, 2));
            const double c = Y(Campo(f, 3)), d = Y(Campo(f, 4));
            if (c == a || d == b || !CumpleCondicion(Campo(f, 5), texto, m_posicion))
                break;
            const QImage& imagen = Imagen(Campo(f, 0));
            if (!imagen.isNull())
                Sup()->Imagen(imagen, QRectF(a, b, c - a, d - b));
            break;
        }
        case Qr: {
            // [QR,x,y,side,condition]text: the text's QR symbol, quiet zone included, in a
            // square of `side` millimetres; nothing for an empty text.
            const double x = X(Campo(f, 0)), y = Y(Campo(f, 1));
            const double lado = std::clamp(Val(Campo(f, 2)), 0.0, 1000.0);
            const QString contenido = texto.trimmed();
            if (contenido.isEmpty() || lado < 1 || !CumpleCondicion(Campo(f, 3), texto, m_posicion))
                break;
            const QImage imagen = CodigoQR(contenido);
            if (!imagen.isNull())
                Sup()->Imagen(imagen, QRectF(x, y, lado, lado));
            break;
        }
        }
        return;
    }

    if (linea.startsWith(QLatin1String("[PAGINA")) || linea.startsWith(QStringLiteral("[P\u00C1GINA"))) {
        QString resto = dentro.mid(6);
        if (resto.startsWith(QLatin1Char(',')))
            resto.remove(0, 1);
        if (!CumpleCondicion(Campo(Campos(resto), 0), texto, m_posicion))
            return;
        // A page-break handler may print again; a handler that keeps doing so must end.
        if (m_anidamiento >= kMaxAnidamiento)
            return;
        ++m_anidamiento;
        const bool nueva = m_salto();
        --m_anidamiento;
        if (nueva)
            PaginaNueva();
        return;
    }

    DirectivaTexto(dentro, texto);
}

QString InterpreteImpresora::Cortar(const QString& texto, double limite)
{
    SuperficieImpresion* sup = Sup();
    if (sup->AnchoTexto(texto) < limite)
        return texto;
    // Widths grow with the prefix: find the longest narrower prefix by halving, then make
    // sure of it one character at a time.
    qsizetype bajo = 0, alto = texto.size() - 1;
    while (bajo < alto) {
        const qsizetype medio = (bajo + alto + 1) / 2;
        if (sup->AnchoTexto(texto.left(medio)) < limite)
            bajo = medio;
        else
            alto = medio - 1;
    }
    qsizetype n = bajo;
    while (n > 0 && sup->AnchoTexto(texto.left(n)) >= limite)
        --n;
    if (n > 0 && texto[n - 1].isHighSurrogate())
        --n;
    return texto.left(n);
}

const QImage& InterpreteImpresora::Imagen(const QString& archivo)
{
    QString ruta = UnirRuta(QDir::currentPath(), archivo);
    if (!m_carpetaMascara.isEmpty() && QFileInfo(UnirRuta(m_carpetaMascara, archivo)).isFile())
        ruta = UnirRuta(m_carpetaMascara, archivo);
    auto it = m_imagenes.find(ruta);
    if (it == m_imagenes.end()) {
        // Only plain files: a device or a pipe named in a mask must not block printing.
        QImage imagen;
        if (QFileInfo(ruta).isFile())
            imagen = QImageReader(ruta).read();
        it = m_imagenes.insert(ruta, imagen);
    }
    return *it;
}

QStringList InterpreteImpresora::CamposTexto(const QString& dentro, QString* noveno)
{
    QStringList f;
    qsizetype desde = 0;
    while (f.size() < 8) {
        const qsizetype p = dentro.indexOf(QLatin1Char(','), desde);
        if (p < 0) {
            f << dentro.mid(desde).trimmed();
            desde = -1;
            break;
        }
        f << dentro.mid(desde, p - desde).trimmed();
        desde = p + 1;
    }
    if (noveno)
        *noveno = desde >= 0 ? dentro.mid(desde).trimmed() : QString();
    return f;
}

FuenteImpresion InterpreteImpresora::FuenteDeCampos(const QStringList& f) const
{
    FuenteImpresion fuente = m_fuente;
    if (!Campo(f, 3).isEmpty())
        fuente.nombre = Campo(f, 3);
    if (!Campo(f, 4).isEmpty()) {
        // Not a number reads as 0; the printer's smallest size stands in for it.
        const double puntos = Val(Campo(f, 4));
        fuente.puntos = std::clamp(std::isfinite(puntos) ? puntos : 1.0, 1.0, kMaxPuntos);
    }
    const QString estilo = Campo(f, 5).toUpper();
    fuente.negrita = estilo.contains(QLatin1Char('N'));
    fuente.cursiva = estilo.contains(QLatin1Char('I'));
    fuente.subrayado = estilo.contains(QLatin1Char('S'));
    return fuente;
}

QStringList InterpreteImpresora::PartirTexto(const QString& dentro, const QString& resto, const QString& marca,
                                             const QString& texto)
{
    const QStringList f = CamposTexto(dentro, nullptr);
    const double limite = Val(Campo(f, 6));
    if (!(limite > 0) || texto.trimmed().isEmpty())
        return {texto};
    SuperficieImpresion* sup = Sup();
    const FuenteImpresion fuente = FuenteDeCampos(f);
    sup->FijarFuente(fuente);
    auto cabe = [&](const QString& t) { return sup->AnchoTexto(QString(resto).replace(marca, t).trimmed()) < limite; };
    QStringList trozos;
    QString actual;
    for (const QString& palabra : texto.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString prueba = actual.isEmpty() ? palabra : actual + QLatin1Char(' ') + palabra;
        if (cabe(prueba)) {
            actual = prueba;
            continue;
        }
        if (!actual.isEmpty())
            trozos << actual;
        actual = palabra;
        // A word wider than the column goes on at the next line.
        while (actual.size() > 1 && !cabe(actual)) {
            qsizetype n = actual.size() - 1;
            while (n > 1 && !cabe(actual.left(n)))
                --n;
            if (actual[n - 1].isHighSurrogate() && n > 1)
                --n;
            trozos << actual.left(n);
            actual = actual.mid(n);
        }
    }
    if (!actual.isEmpty() || trozos.isEmpty())
        trozos << actual;
    sup->FijarFuente(m_fuente);
    return trozos;
}

void InterpreteImpresora::DirectivaTexto(const QString& dentro, const QString& resto)
{
    QString noveno;
    const QStringList f = CamposTexto(dentro, &noveno);
    const FuenteImpresion fuente = FuenteDeCampos(f);
    SuperficieImpresion* sup = Sup();
    if (!(fuente == m_fuente)) {
        m_fuente = fuente;
        sup->FijarFuente(m_fuente);
    }

    QString texto = resto.trimmed();
    const double limite = Val(Campo(f, 6));
    if (limite > 0)
        texto = Cortar(texto, limite);
    if (!CumpleCondicion(Campo(f, 7), texto, m_posicion))
        return;

    double x = X(Campo(f, 1));
    const double y = Y(Campo(f, 2));
    const double ancho = sup->AnchoTexto(texto);
    const QString alineacion = Campo(f, 0).toUpper();
    if (alineacion == QLatin1String("C"))
        x -= ancho / 2;
    else if (alineacion == QLatin1String("D"))
        x -= ancho;
    sup->Texto(QPointF(x, y), texto);
    if (noveno.isEmpty())
        m_posicion = QPointF(x + ancho, y);
    else
        m_posicion = QPointF(0, y + sup->AltoLinea());
}
