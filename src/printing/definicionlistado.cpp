#include "definicionlistado.h"

#include "formato.h"
#include "global.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QRegularExpression& Identificador()
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re;
}

QString Ubicacion(const QString& archivo, int linea)
{
    const QString nombre = QFileInfo(archivo).fileName();
    if (linea > 0)
        return QStringLiteral("Listado «%1», línea %2: ").arg(nombre).arg(linea);
    return QStringLiteral("Listado «%1»: ").arg(nombre);
}

struct Entrada {
    QString clave;
    QString argumento;
    QString valor;
    int linea = 0;
};

// "clave argumento: valor" lines; a line that starts with a blank continues the one before.
std::vector<Entrada> Entradas(const QString& texto, const QString& archivo, QString& error)
{
    std::vector<Entrada> entradas;
    const QStringList lineas = texto.split(QLatin1Char('\n'));
    for (int i = 0; i < lineas.size(); ++i) {
        QString linea = lineas[i];
        if (linea.endsWith(QLatin1Char('\r')))
            linea.chop(1);
        if (linea.trimmed().isEmpty() || linea.startsWith(QLatin1Char('#')))
            continue;
        if (linea[0].isSpace()) {
            if (entradas.empty()) {
                error = Ubicacion(archivo, i + 1) + QStringLiteral("una línea que empieza en blanco continúa la anterior, y no hay anterior.");
                return {};
            }
            entradas.back().valor += QLatin1Char(' ') + linea.trimmed();
            continue;
        }
        const qsizetype dosPuntos = linea.indexOf(QLatin1Char(':'));
        if (dosPuntos < 0) {
            error = Ubicacion(archivo, i + 1) + QStringLiteral("falta «:» entre la clave y su valor.");
            return {};
        }
        Entrada e;
        const QString cabeza = linea.left(dosPuntos).trimmed();
        const qsizetype blanco = cabeza.indexOf(QLatin1Char(' '));
        e.clave = (blanco < 0 ? cabeza : cabeza.left(blanco)).toLower();
        e.argumento = blanco < 0 ? QString() : cabeza.mid(blanco + 1).trimmed();
        e.valor = linea.mid(dosPuntos + 1).trimmed();
        e.linea = i + 1;
        entradas.push_back(std::move(e));
    }
    return entradas;
}

bool LeerColumna(const Entrada& e, ColumnaListado& c, QString& problema)
{
    const QStringList partes = e.valor.split(QLatin1Char('|'));
    if (partes.size() < 5 || partes.size() > 6) {
        problema = QStringLiteral("una columna lleva «título | campo | formato | ancho | alineación», y «| suma» si se totaliza.");
        return false;
    }
    c.titulo = partes[0].trimmed();
    c.campo = partes[1].trimmed();
    c.formato = partes[2].trimmed();
    c.linea = e.linea;
    if (!Identificador().match(c.campo).hasMatch()) {
        problema = QStringLiteral("el campo de la columna «%1» no es un nombre válido.").arg(c.titulo);
        return false;
    }
    bool ok = false;
    c.ancho = partes[3].trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || c.ancho <= 0 || c.ancho > 400) {
        problema = QStringLiteral("el ancho de la columna «%1» debe ser un número de milímetros.").arg(c.titulo);
        return false;
    }
    const QString alin = partes[4].trimmed().toLower();
    if (alin == QLatin1String("izquierda"))
        c.alineacion = Alineacion::Izquierda;
    else if (alin == QLatin1String("centro"))
        c.alineacion = Alineacion::Centro;
    else if (alin == QLatin1String("derecha"))
        c.alineacion = Alineacion::Derecha;
    else {
        problema = QStringLiteral("la alineación de la columna «%1» es «izquierda», «centro» o «derecha».").arg(c.titulo);
        return false;
    }
    if (partes.size() == 6) {
        if (partes[5].trimmed().toLower() != QLatin1String("suma")) {
            problema = QStringLiteral("lo único que puede seguir a la alineación es «suma».");
            return false;
        }
        c.suma = true;
    }
    return true;
}

}  // namespace

std::optional<DefinicionListado> LeerDefinicionListadoTexto(const QString& texto, const QString& archivo, QString& error)
{
    error.clear();
    const std::vector<Entrada> entradas = Entradas(texto, archivo, error);
    if (!error.isEmpty())
        return std::nullopt;

    DefinicionListado d;
    d.archivo = archivo;
    QStringList vistas;
    QString problema;
    for (const Entrada& e : entradas) {
        const bool unica = e.clave != QLatin1String("columna") && e.clave != QLatin1String("donde")
            && e.clave != QLatin1String("donde-filas") && e.clave != QLatin1String("dato");
        if (unica) {
            if (vistas.contains(e.clave)) {
                error = Ubicacion(archivo, e.linea) + QStringLiteral("«%1» ya se ha dado antes.").arg(e.clave);
                return std::nullopt;
            }
            vistas << e.clave;
        }
        if (e.clave == QLatin1String("titulo")) {
            d.titulo = e.valor;
        } else if (e.clave == QLatin1String("papel")) {
            const QString p = e.valor.toLower();
            if (p != QLatin1String("vertical") && p != QLatin1String("horizontal")) {
                problema = QStringLiteral("el papel es «vertical» u «horizontal».");
            }
            d.horizontal = p == QLatin1String("horizontal");
        } else if (e.clave == QLatin1String("consulta")) {
            d.consulta = e.valor;
            d.lineaConsulta = e.linea;
        } else if (e.clave == QLatin1String("consulta-servidor")) {
            d.consultaServidor = e.valor;
            d.lineaConsultaServidor = e.linea;
        } else if (e.clave == QLatin1String("donde") || e.clave == QLatin1String("donde-filas")) {
            CondicionListado c;
            c.sobreFilas = e.clave == QLatin1String("donde-filas");
            c.sql = e.valor;
            c.linea = e.linea;
            const qsizetype igual = e.argumento.indexOf(QLatin1Char('='));
            c.formula = (igual < 0 ? e.argumento : e.argumento.left(igual)).trimmed();
            if (igual >= 0)
                c.valor = e.argumento.mid(igual + 1).trimmed();
            if (!Identificador().match(c.formula).hasMatch())
                problema = QStringLiteral("«%1» lleva el nombre de la fórmula de la que depende.").arg(e.clave);
            else if (c.sql.isEmpty())
                problema = QStringLiteral("falta la condición.");
            d.condiciones.push_back(std::move(c));
        } else if (e.clave == QLatin1String("orden")) {
            for (const QString& campo : e.valor.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                if (!Identificador().match(campo.trimmed()).hasMatch())
                    problema = QStringLiteral("«%1» no es un nombre de campo.").arg(campo.trimmed());
                d.orden << campo.trimmed();
            }
            d.lineaOrden = e.linea;
        } else if (e.clave == QLatin1String("dato")) {
            if (!Identificador().match(e.argumento).hasMatch())
                problema = QStringLiteral("«dato» lleva el nombre del valor que lee.");
            else if (e.valor.isEmpty())
                problema = QStringLiteral("falta la consulta del dato.");
            d.datos.push_back({e.argumento, e.valor, e.linea});
        } else if (e.clave == QLatin1String("filtro")) {
            d.filtro = e.valor;
        } else if (e.clave == QLatin1String("grupo")) {
            static const QRegularExpression re(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)\\s*(?:\\{([^}]*)\\})?$"));
            const auto m = re.match(e.valor);
            if (!m.hasMatch())
                problema = QStringLiteral("el grupo es un campo, con su formato entre llaves si hace falta.");
            d.grupo = m.captured(1);
            d.formatoGrupo = m.captured(2);
            d.lineaGrupo = e.linea;
        } else if (e.clave == QLatin1String("cabecera-grupo")) {
            d.cabeceraGrupo = e.valor;
        } else if (e.clave == QLatin1String("pie-grupo")) {
            d.pieGrupo = e.valor;
        } else if (e.clave == QLatin1String("pie-total")) {
            d.pieTotal = e.valor;
        } else if (e.clave == QLatin1String("vacio")) {
            d.vacio = e.valor;
        } else if (e.clave == QLatin1String("columna")) {
            ColumnaListado c;
            if (LeerColumna(e, c, problema))
                d.columnas.push_back(std::move(c));
        } else {
            problema = QStringLiteral("no se conoce la clave «%1».").arg(e.clave);
        }
        if (!problema.isEmpty()) {
            error = Ubicacion(archivo, e.linea) + problema;
            return std::nullopt;
        }
    }
    if (d.titulo.isEmpty())
        problema = QStringLiteral("falta el «titulo».");
    else if (d.consulta.isEmpty())
        problema = QStringLiteral("falta la «consulta».");
    else if (d.columnas.empty())
        problema = QStringLiteral("no tiene ninguna «columna».");
    if (!problema.isEmpty()) {
        error = Ubicacion(archivo, 0) + problema;
        return std::nullopt;
    }
    double ancho = 0;
    for (const ColumnaListado& c : d.columnas)
        ancho += c.ancho;
    const double disponible = d.horizontal ? 277 : 190;
    if (ancho > disponible + 0.01) {
        error = Ubicacion(archivo, 0)
            + QStringLiteral("las columnas suman %1 mm y en el papel caben %2 mm.").arg(ancho).arg(disponible);
        return std::nullopt;
    }
    return d;
}

std::optional<DefinicionListado> LeerDefinicionListado(const QString& ruta, QString& error)
{
    // Listing definitions are a few lines of text: anything else is refused before reading.
    constexpr qint64 kMaxDefinicion = 1024 * 1024;
    const QFileInfo info(ruta);
    if (info.exists() && !info.isFile()) {
        error = Ubicacion(ruta, 0) + QStringLiteral("no es un archivo normal; indique un archivo de texto.");
        return std::nullopt;
    }
    if (info.size() > kMaxDefinicion) {
        error = Ubicacion(ruta, 0) + QStringLiteral("el archivo pasa de 1 MB; no es una definición de listado.");
        return std::nullopt;
    }
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        error = Ubicacion(ruta, 0) + QStringLiteral("no se puede leer el archivo (%1).").arg(f.errorString());
        return std::nullopt;
    }
    return LeerDefinicionListadoTexto(DecodificarTexto8Bits(f.read(kMaxDefinicion)), ruta, error);
}

QString ArchivoDefinicion(const QString& nombreInforme)
{
    const QFileInfo fi(nombreInforme);
    return fi.completeBaseName() + QStringLiteral(".lst");
}

QString BuscarDefinicionListado(const QString& nombreInforme)
{
    if (nombreInforme.isEmpty())
        return {};
    if (QFileInfo(nombreInforme).isAbsolute() && QFileInfo(nombreInforme).isFile()
        && nombreInforme.endsWith(QLatin1String(".lst"), Qt::CaseInsensitive))
        return nombreInforme;
    return BuscarArchivoPrograma(ArchivoDefinicion(nombreInforme));
}
