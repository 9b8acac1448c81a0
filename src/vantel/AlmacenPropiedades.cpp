#include <vantel/AlmacenPropiedades.h>

#include <QSettings>

namespace Vantel {

AlmacenPropiedades::~AlmacenPropiedades() = default;

AlmacenQSettings::AlmacenQSettings(QSettings &settings, const QString &grupo)
    : m_settings(settings)
    , m_grupo(grupo)
{
}

QString AlmacenQSettings::clave(const QString &nombre) const
{
    return m_grupo.isEmpty() ? nombre : m_grupo + QLatin1Char('/') + nombre;
}

QVariant AlmacenQSettings::leer(const QString &nombre, const QVariant &porDefecto) const
{
    return m_settings.value(clave(nombre), porDefecto);
}

void AlmacenQSettings::escribir(const QString &nombre, const QVariant &valor, const QVariant &)
{
    m_settings.setValue(clave(nombre), valor);
}

} // namespace Vantel
