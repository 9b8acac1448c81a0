// A small host: a 4 x 3 matrix of a text, an integer and a decimal column, with every
// Validar call written to a log. Negative quantities are refused; prices are rounded.
#include <tramix/EdMatrix.h>

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <cmath>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget ventana;
    ventana.setWindowTitle(QStringLiteral("Tramix: demostración"));

    auto* matriz = new EdMatrix;
    matriz->Setup(QStringList{QStringLiteral("Lunes"), QStringLiteral("Martes"), QStringLiteral("Miércoles"),
                              QStringLiteral("Jueves")},
                  QVariantList{
                      QVariantList{QStringLiteral("Artículo"), 1800, EdMatrix::Texto},
                      QVariantList{QStringLiteral("Cantidad"), 1100, EdMatrix::Entero, QStringLiteral("#,##0")},
                      QVariantList{QStringLiteral("Precio"), 1100, EdMatrix::Decimal, QStringLiteral("#,##0.00")},
                  });
    matriz->setMatriz(QVariantList{
        QVariantList{QStringLiteral("Pan de barra"), 12, 0.6},
        QVariantList{QStringLiteral("Queso curado"), 2, 14.95},
        QVariantList{QStringLiteral("Leche entera"), 6, 0.89},
        QVariantList{QStringLiteral("Jamón serrano"), 1, 21.5},
    });

    auto* registro = new QPlainTextEdit;
    registro->setReadOnly(true);
    auto* rechazar = new QCheckBox(QStringLiteral("Rechazar cantidades negativas"));
    rechazar->setChecked(true);
    auto* mostrar = new QPushButton(QStringLiteral("Mostrar valores"));
    auto* ajustar = new QPushButton(QStringLiteral("Ajustar anchos"));
    QObject::connect(ajustar, &QPushButton::clicked, matriz, &EdMatrix::AutoWidth);
    auto* otro = new QLineEdit;
    otro->setPlaceholderText(QStringLiteral("Otro campo (para salir de la rejilla)"));

    QObject::connect(matriz, &EdMatrix::Validar, registro,
                     [=](qint16& Row, qint16& Col, QVariant& Value, bool& Cancel) {
                         QString nota;
                         if (Col == 2 && rechazar->isChecked() && Value.toString().startsWith(QLatin1Char('-'))) {
                             Cancel = true;
                             nota = QStringLiteral(" -> cancelado");
                         }
                         registro->appendPlainText(QStringLiteral("Validar(%1, %2, \"%3\")%4")
                                                       .arg(Row)
                                                       .arg(Col)
                                                       .arg(Value.toString(), nota));
                     });
    QObject::connect(mostrar, &QPushButton::clicked, registro, [=] {
        const QList<QStringList> filas = matriz->Textos();
        registro->appendPlainText(QStringLiteral("Matriz:"));
        for (const QStringList& fila : filas)
            registro->appendPlainText(QStringLiteral("  ") + fila.join(QStringLiteral(" | ")));
    });

    auto* botones = new QHBoxLayout;
    botones->addWidget(rechazar);
    botones->addStretch();
    botones->addWidget(ajustar);
    botones->addWidget(mostrar);
    auto* disposicion = new QVBoxLayout(&ventana);
    disposicion->addWidget(new QLabel(QStringLiteral("Escriba en las celdas; Intro y las flechas mueven.")));
    disposicion->addWidget(matriz);
    disposicion->addWidget(otro);
    disposicion->addLayout(botones);
    disposicion->addWidget(registro);

    ventana.resize(520, 480);
    ventana.show();
    matriz->setFocus();
    return app.exec();
}
