#include "CommSocketPlugin.h"

#include <vantel/CommSocket.h>

#include <QIcon>
#include <QPainter>
#include <QPixmap>

CommSocketPlugin::CommSocketPlugin(QObject *parent)
    : QObject(parent)
{
}

QString CommSocketPlugin::name() const
{
    return QStringLiteral("Vantel::CommSocket");
}

QString CommSocketPlugin::group() const
{
    return QStringLiteral("Vantel");
}

QString CommSocketPlugin::toolTip() const
{
    return QStringLiteral("Canal de comunicaciones (serie, módem o TCP)");
}

QString CommSocketPlugin::whatsThis() const
{
    return QStringLiteral("Abre un canal de comunicaciones con un equipo remoto por una línea "
                          "serie, un módem o una pasarela TCP y entrega lo recibido en eventos.");
}

QString CommSocketPlugin::includeFile() const
{
    return QStringLiteral("vantel/CommSocket.h");
}

QIcon CommSocketPlugin::icon() const
{
    // The control draws its own face; the palette shows the same.
    Vantel::CommSocket muestra;
    QPixmap imagen(Vantel::CommSocket::Lado, Vantel::CommSocket::Lado);
    imagen.fill(Qt::transparent);
    muestra.render(&imagen);
    return QIcon(imagen);
}

bool CommSocketPlugin::isContainer() const
{
    return false;
}

QWidget *CommSocketPlugin::createWidget(QWidget *parent)
{
    auto *control = new Vantel::CommSocket(parent);
    // Hidden in use, but a form being designed has to show where it is.
    control->setVisible(true);
    return control;
}

bool CommSocketPlugin::isInitialized() const
{
    return m_iniciado;
}

void CommSocketPlugin::initialize(QDesignerFormEditorInterface *)
{
    m_iniciado = true;
}

QString CommSocketPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="Vantel::CommSocket" name="CommSocket1">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>32</width><height>32</height></rect>
  </property>
 </widget>
</ui>
)");
}
