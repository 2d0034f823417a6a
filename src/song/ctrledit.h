#pragma once
// Values in the controller lane of the key editor and the lanes of the audio editor: the
// event under the mouse, straight lines, changes around a tick, limits, and deleting
// controllers, sound-card parameters or whole status kinds. Lanes: 1 pitch bend, 2 one
// controller, 5 program change; other lanes do nothing. The commands over the selected parts
// and the queries are TSong members.

#include "song/song.h"

#include <cstdint>

// The value at T of the straight line from (FromTick, StartValue) to (ToTick, EndValue),
// through the floor helper.
int RampValue(std::int64_t T, int FromTick, int ToTick, int StartValue, int EndValue);

// "Before Tick": at a time from the part start strictly less than Tick.
void SetLaneValueAt(_TPart* Part, int Tick, int Value, int Lane, int Controller);
void SetVelocityAt(_TPart* Part, int Tick, int Velocity, bool SelectedOnly);
void SetSampleNoteValueAt(_TPart* Part, int Tick, int Value, bool IsVolume, int Sample);
void SetParamValueAt(_TPart* Part, int Tick, int Value, int Param);
// Mode 0 sets Value, 2 adds it. Records its own undo step.
void ChangeLaneValues(_TPart* Part, int Mode, int Value, int Lane, bool SelectedOnly,
                      int Controller);
// ToTick -1 is the part's length.
void RampLaneValues(_TPart* Part, int Controller, int FromTick, int Lane, int EndValue,
                    int StartValue, int ToTick);
void RampSampleNoteValues(_TPart* Part, int FromTick, int ToTick, bool IsVolume, int Sample,
                          int EndValue, int StartValue);
void RampParamValues(_TPart* Part, int Param, int FromTick, int EndValue, int StartValue,
                     int ToTick);
// Both record their own undo step.
void LimitControllerRange(_TPart* Part, int Controller, int Lo, int Hi);
void LimitVelocityRange(_TPart* Part, int Lo, int Hi);
// Controller -1: every controller. Each removed controller's reset goes out at once.
void DeleteControllers(_TPart* Part, int Controller);
// Param -1: every sound-card parameter event.
void DeleteParamEvents(_TPart* Part, int Param);
// Status: a status kind with the channel nibble 0 (0xB0 for controllers).
void DeleteEventsOfStatus(_TPart* Part, int Status);
