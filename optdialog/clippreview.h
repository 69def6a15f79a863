#ifndef CLIPPREVIEW_H
#define CLIPPREVIEW_H

#include "jobs/encoderoptions.h"

#include <QScopedPointer>
#include <QWidget>

namespace Ui {
class ClipPreview;
}

// One frame of the clip as the encoder would read it, so a wrong size shows
// at once as slanted stripes; a slider picks the frame among those the
// options would encode. A clip that has no frame to show gets a line saying why.
class ClipPreview : public QWidget
{
    Q_OBJECT

public:
    explicit ClipPreview(const QString &clipPath, QWidget *parent = nullptr);
    ~ClipPreview() override;

    // Redraws the clip read at resolution, of which frames would be encoded.
    void showClip(const Resolution &resolution, int frames);

private slots:
    void slotFrameChosen(int index);

private:
    void offerFrames(int shown, int index);
    void showFailure(const QString &why);
    QSize pictureSize() const;

    QScopedPointer<Ui::ClipPreview> ui;
    QString clipPath;
    Resolution resolution{0, 0};
    int frames = 1;
};

#endif
