#include "Protocolo.h"

#include "Tools.h"

namespace Vantel {

namespace {

bool esDigito(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString desdeMarcas(QString pieza)
{
    pieza = Tools::Reemplazar(pieza, QStringLiteral("[Cr]"), QStringLiteral("\r"));
    pieza = Tools::Reemplazar(pieza, QStringLiteral("[Lf]"), QStringLiteral("\n"));
    return Tools::Reemplazar(pieza, QStringLiteral("[CrLf]"), QStringLiteral("\r\n"));
}

QString aMarcas(QString pieza)
{
    pieza.replace(QLatin1Char('\r'), QStringLiteral("[Cr]"));
    return pieza.replace(QLatin1Char('\n'), QStringLiteral("[Lf]"));
}

} // namespace

ClaseRespuesta ClasificarRespuesta(const QString &respuesta)
{
    if (!respuesta.endsWith(QLatin1Char('\r')))
        return ClaseRespuesta::Desconocida;
    QString cuerpo = respuesta.chopped(1);
    if (cuerpo.endsWith(QLatin1String("LC")))
        cuerpo.chop(2);
    if (cuerpo.isEmpty() || cuerpo.size() > 2)
        return ClaseRespuesta::Desconocida;
    for (QChar c : cuerpo) {
        if (!esDigito(c))
            return ClaseRespuesta::Desconocida;
    }
    switch (cuerpo.toInt()) {
    case 0:
        return ClaseRespuesta::Ok;
    case 1: case 5: case 9: case 10: case 11: case 12: case 13: case 14: case 15: case 16:
    case 28: case 29: case 31: case 33: case 56:
        return ClaseRespuesta::Connect;
    case 2:
        return ClaseRespuesta::Ring;
    case 3:
        return ClaseRespuesta::NoCarrier;
    case 4:
        return ClaseRespuesta::Error;
    case 6:
        return ClaseRespuesta::NoTono;
    case 7:
        return ClaseRespuesta::Ocupado;
    case 8:
        return ClaseRespuesta::NoRespuesta;
    default:
        return ClaseRespuesta::Desconocida;
    }
}

ListaInicializacion LeerInicializacion(const QString &texto)
{
    ListaInicializacion lista;
    QString resto = texto;
    bool esComando = true;
    while (!resto.isEmpty()) {
        const QString pieza = desdeMarcas(Tools::SacarToken(resto, QStringLiteral("|")));
        if (esComando)
            lista.comandos.append(pieza);
        else
            lista.respuestas.append(pieza);
        esComando = !esComando;
    }
    if (lista.respuestas.size() < lista.comandos.size())
        lista.respuestas.append(QString());
    return lista;
}

QString EscribirInicializacion(const ListaInicializacion &lista)
{
    QStringList pares;
    for (qsizetype i = 0; i < lista.comandos.size(); ++i) {
        const QString respuesta = i < lista.respuestas.size() ? lista.respuestas.at(i) : QString();
        pares.append(aMarcas(lista.comandos.at(i)) + QLatin1Char('|') + aMarcas(respuesta));
    }
    return pares.join(QLatin1Char('|'));
}

std::optional<ParametrosLinea> LeerSettings(const QString &settings)
{
    const QStringList campos = settings.split(QLatin1Char(','));
    if (campos.size() != 4)
        return std::nullopt;
    ParametrosLinea p;
    bool ok = false;
    p.velocidad = campos.at(0).trimmed().toInt(&ok);
    if (!ok || p.velocidad <= 0)
        return std::nullopt;

    const QString paridad = campos.at(1).trimmed().toUpper();
    if (paridad == QLatin1String("N"))
        p.paridad = Paridad::Ninguna;
    else if (paridad == QLatin1String("E"))
        p.paridad = Paridad::Par;
    else if (paridad == QLatin1String("O"))
        p.paridad = Paridad::Impar;
    else if (paridad == QLatin1String("M"))
        p.paridad = Paridad::Marca;
    else if (paridad == QLatin1String("S"))
        p.paridad = Paridad::Espacio;
    else
        return std::nullopt;

    p.bitsDatos = campos.at(2).trimmed().toInt(&ok);
    if (!ok || p.bitsDatos < 5 || p.bitsDatos > 8)
        return std::nullopt;

    const QString parada = campos.at(3).trimmed();
    if (parada == QLatin1String("1"))
        p.bitsParada = BitsParada::Uno;
    else if (parada == QLatin1String("1.5"))
        p.bitsParada = BitsParada::UnoYMedio;
    else if (parada == QLatin1String("2"))
        p.bitsParada = BitsParada::Dos;
    else
        return std::nullopt;
    return p;
}

QString VelocidadDe(const QString &settings)
{
    QString resto = settings;
    return Tools::SacarToken(resto, QStringLiteral(","));
}

} // namespace Vantel
