// The smallest application: one line, then main returns.
package noviq.apps;

public class Hello {
    public static void main(String[] args) {
        System.out.println("Hello");
    }
}
