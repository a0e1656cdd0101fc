// Has a main method, but not a static one.
package noviq.apps;

public class InstanceMain {
    public void main(String[] args) {
        System.out.println("instance main ran");
    }
}
