#include "MainComponent.h"

void MainComponent::updateCtrl()
{
}

void MainComponent::paint(juce::Graphics&)
{
}

void MainComponent::resized()
{
    updateCtrl();
}

void MainComponent::comboBoxChanged(juce::ComboBox*)
{
}
