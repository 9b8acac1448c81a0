#pragma once

// Where a host keeps the control's properties between runs. The control reads
// and writes them one by one, by name, always in the same order.

#include <vantel/vantel_export.h>

#include <QString>
#include <QVariant>

class QSettings;

namespace Vantel {

class VANTEL_EXPORT AlmacenPropiedades
{
public:
    virtual ~AlmacenPropiedades();
    // The stored value, or porDefecto when nothing is stored under nombre.
    virtual QVariant leer(const QString &nombre, const QVariant &porDefecto) const = 0;
    virtual void escribir(const QString &nombre, const QVariant &valor,
                          const QVariant &porDefecto) = 0;
};

// Keeps the properties in a QSettings, optionally under a group so that a
// host with several controls gives each its own.
class VANTEL_EXPORT AlmacenQSettings : public AlmacenPropiedades
{
public:
    explicit AlmacenQSettings(QSettings &settings, const QString &grupo = {});
    QVariant leer(const QString &nombre, const QVariant &porDefecto) const override;
    void escribir(const QString &nombre, const QVariant &valor,
                  const QVariant &porDefecto) override;

private:
    QString clave(const QString &nombre) const;

    QSettings &m_settings;
    QString m_grupo;
};

} // namespace Vantel
