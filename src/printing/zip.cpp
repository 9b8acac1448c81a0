#include "zip.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

namespace {

// Templates are a few hundred kilobytes; these bounds only stop a hostile file from taking
// all memory.
constexpr quint32 kMaxEntrada = 256u * 1024 * 1024;
constexpr quint64 kMaxTotal = 512ull * 1024 * 1024;

quint16 L16(const QByteArray& b, qsizetype p)
{
    return quint16(uchar(b[p])) | quint16(uchar(b[p + 1])) << 8;
}

quint32 L32(const QByteArray& b, qsizetype p) { return quint32(L16(b, p)) | quint32(L16(b, p + 2)) << 16; }

void E16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void E32(QByteArray& b, quint32 v)
{
    E16(b, quint16(v & 0xFFFF));
    E16(b, quint16(v >> 16));
}

bool Inflar(const char* datos, quint32 tamano, quint32 esperado, QByteArray& salida)
{
    salida.resize(esperado);
    if (esperado == 0)
        return true;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(datos));
    z.avail_in = tamano;
    z.next_out = reinterpret_cast<Bytef*>(salida.data());
    z.avail_out = esperado;
    const int r = inflate(&z, Z_FINISH);
    const bool bien = r == Z_STREAM_END && z.total_out == esperado;
    inflateEnd(&z);
    return bien;
}

QByteArray Desinflar(const QByteArray& datos)
{
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray salida(int(deflateBound(&z, uLong(datos.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(datos.constData()));
    z.avail_in = uInt(datos.size());
    z.next_out = reinterpret_cast<Bytef*>(salida.data());
    z.avail_out = uInt(salida.size());
    deflate(&z, Z_FINISH);
    salida.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return salida;
}

} // namespace

bool ArchivoZip::LeerArchivo(const QString& ruta, QString* error)
{
    // A device such as /dev/zero reports no size and never ends; a pipe blocks.
    if (!QFileInfo(ruta).isFile()) {
        *error = QStringLiteral("'%1' no es un archivo normal: no se puede usar como plantilla.").arg(ruta);
        return false;
    }
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("No se puede abrir el archivo '%1'.").arg(ruta);
        return false;
    }
    if (f.size() > qint64(kMaxTotal)) {
        *error = QStringLiteral("El archivo '%1' es demasiado grande.").arg(ruta);
        return false;
    }
    if (!Leer(f.readAll(), error)) {
        *error = QStringLiteral("El archivo '%1' no es un documento válido (%2).").arg(ruta, *error);
        return false;
    }
    return true;
}

bool ArchivoZip::Leer(const QByteArray& b, QString* error)
{
    m_entradas.clear();
    auto falla = [&](const char* motivo) {
        *error = QString::fromLatin1(motivo);
        m_entradas.clear();
        return false;
    };
    const qsizetype n = b.size();
    qsizetype fin = -1;
    for (qsizetype p = n - 22; p >= 0 && p >= n - 22 - 65535; --p) {
        if (L32(b, p) == 0x06054b50) {
            fin = p;
            break;
        }
    }
    if (fin < 0)
        return falla("no es un archivo zip");
    const quint16 cuantas = L16(b, fin + 10);
    const quint32 tamDirectorio = L32(b, fin + 12);
    const quint32 inicioDirectorio = L32(b, fin + 16);
    if (quint64(inicioDirectorio) + tamDirectorio > quint64(fin))
        return falla("directorio dañado");

    quint64 total = 0;
    qsizetype p = inicioDirectorio;
    for (int i = 0; i < cuantas; ++i) {
        if (p + 46 > fin || L32(b, p) != 0x02014b50)
            return falla("directorio dañado");
        const quint16 marcas = L16(b, p + 8);
        const quint16 metodo = L16(b, p + 10);
        const quint32 crc = L32(b, p + 16);
        const quint32 comprimido = L32(b, p + 20);
        const quint32 tamano = L32(b, p + 24);
        const quint16 largoNombre = L16(b, p + 28);
        const qsizetype siguiente = p + 46 + largoNombre + L16(b, p + 30) + L16(b, p + 32);
        const quint32 local = L32(b, p + 42);
        if (siguiente > fin)
            return falla("directorio dañado");
        if (marcas & 1)
            return falla("entrada cifrada");
        if (tamano > kMaxEntrada || (total += tamano) > kMaxTotal)
            return falla("entrada demasiado grande");
        const QByteArray nombreBytes = b.mid(p + 46, largoNombre);
        p = siguiente;

        if (quint64(local) + 30 > quint64(n) || L32(b, local) != 0x04034b50)
            return falla("entrada dañada");
        const quint64 datos = quint64(local) + 30 + L16(b, local + 26) + L16(b, local + 28);
        if (datos + comprimido > quint64(n))
            return falla("entrada dañada");

        Entrada e;
        e.nombre = (marcas & 0x800) ? QString::fromUtf8(nombreBytes) : QString::fromLatin1(nombreBytes);
        if (metodo == 0) {
            if (comprimido != tamano)
                return falla("entrada dañada");
            e.datos = b.mid(qsizetype(datos), comprimido);
            e.comprimida = false;
        } else if (metodo == 8) {
            if (!Inflar(b.constData() + datos, comprimido, tamano, e.datos))
                return falla("entrada dañada");
        } else {
            return falla("método de compresión desconocido");
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(e.datos.constData()), uInt(e.datos.size())) != crc)
            return falla("suma de control errónea");
        m_entradas.push_back(std::move(e));
    }
    return true;
}

QByteArray ArchivoZip::Escribir() const
{
    QByteArray salida;
    QByteArray directorio;
    for (const Entrada& e : m_entradas) {
        const QByteArray nombre = e.nombre.toUtf8();
        const quint32 crc = crc32(0, reinterpret_cast<const Bytef*>(e.datos.constData()), uInt(e.datos.size()));
        const QByteArray datos = e.comprimida ? Desinflar(e.datos) : e.datos;
        const quint16 metodo = e.comprimida ? 8 : 0;
        const quint32 local = quint32(salida.size());

        E32(salida, 0x04034b50);
        E16(salida, 20);
        E16(salida, 0x800);
        E16(salida, metodo);
        E32(salida, 0x00210000);  // 1 January 1980, midnight: no clock in the output
        E32(salida, crc);
        E32(salida, quint32(datos.size()));
        E32(salida, quint32(e.datos.size()));
        E16(salida, quint16(nombre.size()));
        E16(salida, 0);
        salida += nombre;
        salida += datos;

        E32(directorio, 0x02014b50);
        E16(directorio, 20);
        E16(directorio, 20);
        E16(directorio, 0x800);
        E16(directorio, metodo);
        E32(directorio, 0x00210000);
        E32(directorio, crc);
        E32(directorio, quint32(datos.size()));
        E32(directorio, quint32(e.datos.size()));
        E16(directorio, quint16(nombre.size()));
        E16(directorio, 0);
        E16(directorio, 0);
        E16(directorio, 0);
        E16(directorio, 0);
        E32(directorio, 0);
        E32(directorio, local);
        directorio += nombre;
    }
    const quint32 inicio = quint32(salida.size());
    salida += directorio;
    E32(salida, 0x06054b50);
    E16(salida, 0);
    E16(salida, 0);
    E16(salida, quint16(m_entradas.size()));
    E16(salida, quint16(m_entradas.size()));
    E32(salida, quint32(directorio.size()));
    E32(salida, inicio);
    E16(salida, 0);
    return salida;
}

bool ArchivoZip::GuardarArchivo(const QString& ruta) const
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(Escribir());
    return f.commit();
}

const QByteArray* ArchivoZip::Datos(const QString& nombre) const
{
    for (const Entrada& e : m_entradas)
        if (e.nombre == nombre)
            return &e.datos;
    return nullptr;
}

void ArchivoZip::Poner(const QString& nombre, const QByteArray& datos, bool comprimida)
{
    for (Entrada& e : m_entradas) {
        if (e.nombre == nombre) {
            e.datos = datos;
            return;
        }
    }
    m_entradas.push_back({nombre, datos, comprimida});
}
