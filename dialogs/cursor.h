#pragma once

// The application-wide cursor, one value at a time like the screen cursor of the original
// toolkit: setting the default removes the override, any other value replaces it.
enum TCursor : int { crDefault = 0, crHourGlass = -11, crHandPoint = -21 };

void SetScreenCursor(int Cursor);
int ScreenCursor();

// Shows the hourglass for one block of work and puts the default cursor back on every way out.
class THourGlass {
 public:
  THourGlass();
  ~THourGlass();
  THourGlass(const THourGlass&) = delete;
  THourGlass& operator=(const THourGlass&) = delete;
};
