#include "impresiondocumento.h"

#include "basedatos.h"
#include "coleccion.h"
#include "formato.h"
#include "utilidades.h"

Celda::Celda(double numero, const QString& formato) : texto(Formato(numero, formato)) {}

QString TextoDeUnaLinea(const QString& texto)
{
    QString t = texto;
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t;
}

ValoresMascara CabeceraImpresion(BaseDatos& bd, std::optional<qint32> cliente,
                                 const std::vector<std::pair<QString, QString>>& propios)
{
    ValoresMascara v;
    v.emplace_back(Valor(QStringLiteral("1")), QStringLiteral("@PAG"));
    for (const auto& [marca, texto] : propios)
        v.emplace_back(Valor(texto), marca);
    v.emplace_back(Valor(cliente ? LargoATexto(*cliente) : QString()), QStringLiteral("@CODCLI"));
    Coleccion datos;
    const bool hay = cliente && bd.ConsultaCliente(*cliente, datos);
    const struct {
        const char* marca;
        const char* campo;
    } campos[] = {{"@NOMBRE", "Nombre"},         {"@DIRECCION1", "Direccion1"}, {"@DIRECCION2", "Direccion2"},
                  {"@DIRECCION3", "Direccion3"}, {"@NIF", "NIF"},               {"@CODPOSTAL", "CodPostal"},
                  {"@POBLACION", "Poblacion"},   {"@PROVINCIA", "Provincia"},   {"@TELEFONO1", "Telefono1"},
                  {"@TELEFONO2", "Telefono2"}};
    for (const auto& c : campos) {
        const QString texto = hay ? TextoDeUnaLinea(CampoATexto(datos.valor(QLatin1String(c.campo)))) : QString();
        v.emplace_back(Valor(texto), QLatin1String(c.marca));
    }
    // The shop's own data, as Configurar keeps it.
    const DatosComercio comercio = bd.LeerComercio();
    for (const auto& [marca, texto] :
         {std::pair{"@EMPRESA_NOMBRE", comercio.Nombre}, std::pair{"@EMPRESA_NIF", comercio.NIF},
          std::pair{"@EMPRESA_DIRECCION", comercio.Direccion}, std::pair{"@EMPRESA_CODPOSTAL", comercio.CodPostal},
          std::pair{"@EMPRESA_POBLACION", comercio.Poblacion}, std::pair{"@EMPRESA_PROVINCIA", comercio.Provincia},
          std::pair{"@EMPRESA_TELEFONO", comercio.Telefono}})
        v.emplace_back(Valor(TextoDeUnaLinea(texto)), QLatin1String(marca));
    return v;
}

ImpresionDocumento::ImpresionDocumento(MotorMascaras& motor, ValoresMascara cabecera)
    : m_motor(motor), m_cabecera(std::move(cabecera))
{
}

void ImpresionDocumento::Cabecera()
{
    m_cabecera.front() = ValorMascara(Valor(QString::number(m_pagina)), QStringLiteral("@PAG"));
    // The tax QR code goes once, on the first page.
    if (m_pagina > 1)
        for (ValorMascara& v : m_cabecera)
            if (v.marca == QLatin1String("@CODIGOQR") || v.marca == QLatin1String("@TITULOQR") || v.marca == QLatin1String("@LEYENDAQR"))
                v = ValorMascara(Valor(QString()), *v.marca);
    // A page started by the head itself is not answered with another head.
    m_motor.Imprimir(0, m_pagina, m_cabecera);
    m_motor.ResetContador();
}

void ImpresionDocumento::Enviar(qint16 seccion, const ValoresMascara& valores)
{
    const int antes = m_pagina;
    m_motor.Imprimir(seccion, m_pagina, valores);
    if (m_pagina > antes)
        Cabecera();
}

void ImpresionDocumento::Imprimir(qint16 seccion, const std::vector<Celda>& valores, const QStringList& marcas)
{
    ValoresMascara v;
    v.reserve(valores.size());
    for (size_t i = 0; i < valores.size() && i < static_cast<size_t>(marcas.size()); ++i)
        v.emplace_back(Valor(valores[i].texto), marcas[static_cast<qsizetype>(i)]);
    Enviar(seccion, v);
}

void ImpresionDocumento::ImprimirConCabecera(qint16 seccion)
{
    m_cabecera.front() = ValorMascara(Valor(QString::number(m_pagina)), QStringLiteral("@PAG"));
    Enviar(seccion, m_cabecera);
}

void ImpresionDocumento::ImprimirComentario(qint16 seccion, const QStringList& marcas, const QString& marca, const QString& texto)
{
    // A long comment wraps: the section once per piece that fits the column.
    for (const QString& trozo : m_motor.PartirTexto(seccion, marca, TextoDeUnaLinea(texto))) {
        ValoresMascara v;
        for (const QString& m : marcas)
            v.emplace_back(Valor(m == marca ? trozo : QString()), m);
        Enviar(seccion, v);
    }
}
