#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The small part of the zip format that office documents use: stored and deflated entries,
// no encryption, no zip64. Enough to open a template, change a few parts and write it back.
class ArchivoZip {
public:
    struct Entrada {
        QString nombre;
        QByteArray datos;
        bool comprimida = true;
    };

    // False with `error` set for anything that is not a readable zip of that kind.
    bool Leer(const QByteArray& bytes, QString* error);
    bool LeerArchivo(const QString& ruta, QString* error);
    QByteArray Escribir() const;
    bool GuardarArchivo(const QString& ruta) const;

    // Contents of an entry; null when there is none.
    const QByteArray* Datos(const QString& nombre) const;
    // Replaces an entry's contents or appends a new entry.
    void Poner(const QString& nombre, const QByteArray& datos, bool comprimida = true);

    const std::vector<Entrada>& Entradas() const { return m_entradas; }

private:
    std::vector<Entrada> m_entradas;
};
