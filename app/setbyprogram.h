#pragma once

// Raises one of the window's ...SetByProgram flags for its lifetime and lowers
// it at the end of the scope, so that the change handler of the widget being
// set knows the program, not the user, changed it.
class SetByProgram
{
public:
    explicit SetByProgram(bool &flag) : m_flag(flag) { m_flag = true; }
    ~SetByProgram() { m_flag = false; }

    SetByProgram(const SetByProgram &) = delete;
    SetByProgram &operator=(const SetByProgram &) = delete;

private:
    bool &m_flag;
};
