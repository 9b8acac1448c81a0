#include "EdMatrixPlugin.h"

#include <tramix/EdMatrix.h>

#include <QIcon>

EdMatrixPlugin::EdMatrixPlugin(QObject* parent) : QObject(parent) {}

QString EdMatrixPlugin::name() const { return QStringLiteral("EdMatrix"); }
QString EdMatrixPlugin::group() const { return QStringLiteral("Tramix"); }
QString EdMatrixPlugin::toolTip() const { return QStringLiteral("Editor de matrices"); }
QString EdMatrixPlugin::whatsThis() const
{
    return QStringLiteral("Rejilla en la que el usuario escribe los valores de una matriz.");
}
QString EdMatrixPlugin::includeFile() const { return QStringLiteral("tramix/EdMatrix.h"); }
QIcon EdMatrixPlugin::icon() const { return {}; }
bool EdMatrixPlugin::isContainer() const { return false; }

QWidget* EdMatrixPlugin::createWidget(QWidget* parent)
{
    auto* matriz = new EdMatrix(parent);
    // A sample layout, so that the form shows what the control looks like.
    matriz->Setup(QVariant(), QVariantList{QVariantList{QStringLiteral("A")}, QVariantList{QStringLiteral("B")},
                                           QVariantList{QStringLiteral("C")}});
    return matriz;
}

bool EdMatrixPlugin::isInitialized() const { return m_iniciado; }
void EdMatrixPlugin::initialize(QDesignerFormEditorInterface*) { m_iniciado = true; }

QString EdMatrixPlugin::domXml() const
{
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"EdMatrix\" name=\"edMatrix\">\n"
        "  <property name=\"geometry\"><rect><x>0</x><y>0</y><width>320</width><height>160</height></rect></property>\n"
        " </widget>\n"
        "</ui>\n");
}
