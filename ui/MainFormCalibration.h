#pragma once

class TMainForm;

// The main window's zone commands: the calibration mode in which zones are
// drawn on the image, the refinement of the zones from the first selected
// image ("Уточнить и сохранить зоны") and the brightness threshold proposed
// from it. Each runs with the other commands locked and ends, however it
// ends, with them unlocked and the mode off.
class MainFormCalibration
{
public:
    explicit MainFormCalibration(TMainForm &form) : m_form(form) {}

    // Turns the zone-drawing calibration mode on or off.
    void toggleMode();
    // Measures the first selected image and saves the zones with the found origins.
    void refineZones();
    // Proposes a brightness threshold from the first selected image and keeps it when confirmed.
    void calibrateThreshold();

private:
    // Runs a command between its opening steps (commands locked, stop
    // cleared) and its closing steps (stop cleared, commands unlocked,
    // calibration mode off), which follow however it ends; an error that
    // ended it is shown after them.
    template<typename Command> void command(Command run);
    void processFirstSelected();
    void saveRefinedZones();

    TMainForm &m_form;
};
