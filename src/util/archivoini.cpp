#include "archivoini.h"

#include "formato.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

void ArchivoIni::setRuta(const QString& ruta)
{
    m_ruta = ruta;
    cargar();
}

void ArchivoIni::cargar()
{
    m_lineas.clear();
    m_error.clear();
    const QFileInfo info(m_ruta);
    if (m_ruta.isEmpty() || !info.exists())
        return;
    // A pipe or a device would block or never end: only regular files are read.
    if (!info.isFile()) {
        m_error = QStringLiteral("«%1» no es un archivo normal: no se lee ni se escribe. Ponga en su lugar un archivo "
                                 "de configuración de texto.")
                      .arg(QDir::toNativeSeparators(m_ruta));
        return;
    }
    QFile f(m_ruta);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = f.read(kTamanoMaximo + 1);
    if (bytes.size() > kTamanoMaximo) {
        bytes.truncate(kTamanoMaximo);
        m_error = QStringLiteral("El archivo «%1» pasa de 4 MB: solo se ha leído el principio y no se volverá a "
                                 "escribir, para no perder el resto. Redúzcalo con un editor de textos.")
                      .arg(QDir::toNativeSeparators(m_ruta));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString prueba = utf8.decode(bytes);  // decoding happens on conversion
    m_utf8 = !utf8.hasError();
    QString texto = DecodificarTexto8Bits(bytes);
    if (texto.startsWith(QChar(0xFEFF)))
        texto.remove(0, 1);
    m_crlf = texto.contains(QLatin1String("\r\n"));
    texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_lineas = texto.split(QLatin1Char('\n'));
    if (!m_lineas.isEmpty() && m_lineas.last().isEmpty())
        m_lineas.removeLast();
}

QString ArchivoIni::nombreSeccion(const QString& linea)
{
    const QString t = linea.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

static bool esClave(const QString& linea, const QString& clave, QString* valor)
{
    const qsizetype igual = linea.indexOf(QLatin1Char('='));
    if (igual < 0)
        return false;
    const QString t = linea.left(igual).trimmed();
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    if (t.compare(clave.trimmed(), Qt::CaseInsensitive) != 0)
        return false;
    if (valor)
        *valor = linea.mid(igual + 1);
    return true;
}

QString ArchivoIni::leer(const QString& clave) const
{
    if (clave.trimmed().isEmpty())
        return {};
    bool dentro = m_seccion.isEmpty();
    for (const QString& linea : m_lineas) {
        const QString s = nombreSeccion(linea);
        if (!s.isEmpty()) {
            dentro = m_seccion.isEmpty() || s.compare(m_seccion, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString valor;
        if (dentro && esClave(linea, clave, &valor))
            return valor;
    }
    return {};
}

bool ArchivoIni::escribir(const QString& clave, const QString& valor)
{
    if (clave.trimmed().isEmpty() || !m_error.isEmpty())
        return false;
    // Line breaks would split the entry; they cannot be kept in a settings line.
    QString limpio = valor;
    limpio.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString nueva = clave.trimmed() + QLatin1Char('=') + limpio;

    // Locate the section (the head of the file when none is set) and the key inside it.
    qsizetype inicio = 0, fin = m_lineas.size();
    bool encontrada = m_seccion.isEmpty();
    if (m_seccion.isEmpty()) {
        for (qsizetype i = 0; i < m_lineas.size(); ++i)
            if (!nombreSeccion(m_lineas[i]).isEmpty()) {
                fin = i;
                break;
            }
    } else {
        for (qsizetype i = 0; i < m_lineas.size(); ++i) {
            const QString s = nombreSeccion(m_lineas[i]);
            if (s.isEmpty())
                continue;
            if (encontrada) {
                fin = i;
                break;
            }
            if (s.compare(m_seccion, Qt::CaseInsensitive) == 0) {
                encontrada = true;
                inicio = i + 1;
            }
        }
    }
    if (!encontrada) {
        if (!m_lineas.isEmpty() && !m_lineas.last().trimmed().isEmpty())
            m_lineas << QString();
        m_lineas << QLatin1Char('[') + m_seccion + QLatin1Char(']') << nueva;
        return guardar();
    }
    for (qsizetype i = inicio; i < fin; ++i) {
        if (esClave(m_lineas[i], clave, nullptr)) {
            m_lineas[i] = nueva;
            return guardar();
        }
    }
    // New key: after the last non-blank line of the section.
    qsizetype pos = fin;
    while (pos > inicio && m_lineas[pos - 1].trimmed().isEmpty())
        --pos;
    m_lineas.insert(pos, nueva);
    return guardar();
}

bool ArchivoIni::guardar() const
{
    if (m_ruta.isEmpty())
        return false;
    const QString salto = m_crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString texto = m_lineas.join(salto) + salto;
    QSaveFile f(m_ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(m_utf8 ? texto.toUtf8() : CodificarWindows1252(texto));
    return f.commit();
}
