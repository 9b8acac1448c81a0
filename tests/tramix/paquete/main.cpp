#include <tramix/EdMatrix.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    EdMatrix matriz;
    matriz.Setup(QVariant(), QVariantList{QVariantList{QStringLiteral("A"), 900, 2, QStringLiteral("#,##0")}});
    matriz.setMatriz(QVariantList{1200, 5});
    const QList<QStringList> textos = matriz.Textos();
    std::printf("%s\n", qPrintable(textos.value(0).value(0)));
    return textos.size() == 2 ? 0 : 1;
}
