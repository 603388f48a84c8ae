#include "dialogs/cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
int FScreenCursor = crDefault;

Qt::CursorShape ShapeOf(int Cursor) {
  switch (Cursor) {
    case crHourGlass:
      return Qt::WaitCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    default:
      return Qt::ArrowCursor;
  }
}
}  // namespace

void SetScreenCursor(int Cursor) {
  if (Cursor == FScreenCursor) return;
  if (Cursor == crDefault) {
    QGuiApplication::restoreOverrideCursor();
  } else if (FScreenCursor == crDefault) {
    QGuiApplication::setOverrideCursor(QCursor(ShapeOf(Cursor)));
  } else {
    QGuiApplication::changeOverrideCursor(QCursor(ShapeOf(Cursor)));
  }
  FScreenCursor = Cursor;
}

int ScreenCursor() { return FScreenCursor; }

THourGlass::THourGlass() { SetScreenCursor(crHourGlass); }

THourGlass::~THourGlass() { SetScreenCursor(crDefault); }
