#pragma once

#include <QString>
#include <QStringList>

// Reader and writer of settings files: "[Section]" headers and "key=value" lines.
// Reads back exactly what it writes; leaves every other line (comments, unknown keys,
// order) as it found it; a missing file or key reads as an empty text and never fails.
class ArchivoIni {
public:
    ArchivoIni() = default;
    explicit ArchivoIni(const QString& ruta) { setRuta(ruta); }

    void setRuta(const QString& ruta);
    const QString& ruta() const { return m_ruta; }

    // The current section; empty means "any section" for reads and the head of the file for writes.
    void setSeccion(const QString& seccion) { m_seccion = seccion; }
    void setClave(const QString& clave) { m_clave = clave; }

    QString leer() const { return leer(m_clave); }
    QString leer(const QString& clave) const;
    // Writes at once; returns false when the file could not be written, or when it was not
    // read whole (too big, or not a regular file): rewriting it would lose what was not read.
    bool escribir(const QString& valor) { return escribir(m_clave, valor); }
    bool escribir(const QString& clave, const QString& valor);
    // Why the file was not read whole, in Spanish; empty when it was (or does not exist).
    const QString& error() const { return m_error; }

    // The largest settings file read; a bigger one is read up to here and never rewritten.
    static constexpr qint64 kTamanoMaximo = 4 * 1024 * 1024;

private:
    void cargar();
    bool guardar() const;
    static QString nombreSeccion(const QString& linea);  // empty when not a header

    QString m_ruta;
    QString m_seccion;
    QString m_clave;
    QStringList m_lineas;
    bool m_crlf = false;
    bool m_utf8 = true;
    QString m_error;
};
