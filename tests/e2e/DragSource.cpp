// A window that drags a file to another program through the desktop's drag-and-drop (XDND on X),
// as a file manager does: pressing the mouse in it starts the drag of FILE. It prints "accepted"
// or "refused" when the drag ends, and ends.
//   drag_source FILE
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QString file) : m_file(std::move(file)) {
        setWindowTitle(QStringLiteral("drag-source"));
        resize(120, 120);
    }

protected:
    void mousePressEvent(QMouseEvent *) override {
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::LinkAction);
        std::printf("%s\n", done == Qt::IgnoreAction ? "refused" : "accepted");
        std::fflush(stdout);
        QApplication::quit();
    }

private:
    QString m_file;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.move(600, 400);
    source.show();
    return app.exec();
}
