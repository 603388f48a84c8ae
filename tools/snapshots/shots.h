#pragma once

#include <QString>
#include <QWidget>

class TQuillbyData;

// What a shot function gets: the temporary store and the folder to write into.
struct TShotContext {
  TQuillbyData& Data;
  QString OutDir;
};

using TShotFunction = void (*)(TShotContext& Context);

// Adds a shot function to the list; call it from a static initializer of the area's file:
//   static const bool registered = RegisterShot("login", &ShootLogin);
bool RegisterShot(const char* Name, TShotFunction Shoot);

// Shows the window without a modal loop, lets it settle, writes OutDir/Name.png and hides it.
// Throws Exception when the picture cannot be written.
void SaveShot(QWidget& Window, const TShotContext& Context, const QString& Name);
