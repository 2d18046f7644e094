// The send command of marlet: turns Combo1's choice into the statement text,
// asks what the template's kind needs, delivers it to SQL*Plus and closes the
// window (except for the two early ends that leave it open).
#pragma once

void Command1_Click();
